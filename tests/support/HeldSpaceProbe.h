// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#pragma once

#include "platform/VolumeTable.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>

// A free-space probe standing in for a network share that does not answer: the held mount
// point answers only once released, every other one at once through inner. Its state is
// shared, so a thread left behind by a query may outlive the test's frame.
class HeldSpaceProbe {
public:
    HeldSpaceProbe(std::string held, CSpaceQuery::Probe inner)
        : m_held(std::move(held)), m_inner(std::move(inner)) {}

    CSpaceQuery::Probe Probe() const {
        return [gate = m_gate, held = m_held, inner = m_inner](const std::string& mountPoint) {
            {
                std::unique_lock lock(gate->mutex);
                gate->threads.insert(std::this_thread::get_id());
                if (mountPoint == held)
                    gate->cv.wait(lock, [&] { return gate->released; });
            }
            std::optional<SpaceInfo> answer = inner(mountPoint);
            if (mountPoint == held) {
                std::lock_guard lock(gate->mutex);
                gate->returned = true;
                gate->cv.notify_all();
            }
            return answer;
        };
    }
    void Release() const {
        std::lock_guard lock(m_gate->mutex);
        m_gate->released = true;
        m_gate->cv.notify_all();
    }
    // Waits until the held mount point's call has returned.
    void WaitReturned() const {
        std::unique_lock lock(m_gate->mutex);
        m_gate->cv.wait(lock, [&] { return m_gate->returned; });
    }
    // Whether any mount point was asked on thread id.
    bool AskedOn(std::thread::id id) const {
        std::lock_guard lock(m_gate->mutex);
        return m_gate->threads.count(id) > 0;
    }

private:
    struct Gate {
        std::mutex mutex;
        std::condition_variable cv;
        bool released = false;
        bool returned = false;
        std::set<std::thread::id> threads;
    };
    std::shared_ptr<Gate> m_gate = std::make_shared<Gate>();
    std::string m_held;
    CSpaceQuery::Probe m_inner;
};
