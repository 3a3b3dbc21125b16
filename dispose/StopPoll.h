// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include <chrono>
#include <functional>

// Asks the caller's stop function, and remembers a yes. While an archive is written the
// question comes from every block of data; asking at most every few milliseconds keeps a stop
// function that also pumps a window's events from slowing the write.
class StopPoll {
  public:
    static constexpr std::chrono::milliseconds kInterval{20};

    explicit StopPoll(const std::function<bool()>& stop) : m_stop(stop) {}
    StopPoll(const StopPoll&) = delete;
    StopPoll& operator=(const StopPoll&) = delete;

    // Asks now.
    bool Now() {
        if (!m_stopped && m_stop) {
            m_last = std::chrono::steady_clock::now();
            m_stopped = m_stop();
        }
        return m_stopped;
    }

    // Asks when the last question is kInterval old; else gives the last answer.
    bool Due() {
        if (m_stopped || !m_stop)
            return m_stopped;
        if (std::chrono::steady_clock::now() - m_last < kInterval)
            return false;
        return Now();
    }

    bool Stopped() const { return m_stopped; }

  private:
    const std::function<bool()>& m_stop;
    std::chrono::steady_clock::time_point m_last{};
    bool m_stopped = false;
};
