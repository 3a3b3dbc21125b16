// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quenby Works
#include "scan/SearchRun.h"

#include "platform/FsError.h"
#include "platform/TrustedPath.h"
#include "platform/UniqueFd.h"
#include "profiles/HomeFolder.h"
#include "scan/Walker.h"

#include <fcntl.h>

#include <cerrno>
#include <limits>
#include <variant>

namespace {

constexpr size_t kNone = std::numeric_limits<size_t>::max();

// A search's folder as its walk begins it: its real path (with a trailing "/") and identity,
// or why it is not scanned.
struct Resolved {
    std::string realPath;
    FolderId id;
    std::string refusal; // the report when the folder is not scanned
};

Resolved Resolve(const std::string& folder, const CScanContext& context) {
    Resolved r;
    const auto notScanned = [&](const std::string& why) {
        r.refusal = folder + " was not scanned: " + why + ".";
        return r;
    };
    // A "~" the store kept has no home to stand for; taken as a relative path it would be
    // looked for in whatever folder the program was started in.
    std::string path = folder;
    if (NamesHomeFolder(folder)) {
        const HomeFolder home = FindHomeFolder();
        if (!home.Usable()) {
            r.refusal = (folder == "~" ? "~/" : folder) + " was not scanned: " + home.problem.Text() + ".";
            return r;
        }
        path = ExpandHomeFolder(folder, home);
    }
    // Resolved once, to the real path: files are found, and later disposed of, there.
    TrustedFolder top;
    if (const FsError e = OpenTrustedFolder(path, top))
        return notScanned(e.Text());
    if (context.IsInTrash(top.fd.get(), top.path))
        return notScanned(top.path + " is a trash folder or lies in one");
    UniqueFd fd(::openat(top.fd.get(), ".", kOpenFolderFlags));
    if (!fd)
        return notScanned(top.path + " cannot be read: " + ErrorText(errno));
    r.id = IdOf(fd.get());
    r.realPath = top.path;
    if (r.realPath.back() != '/')
        r.realPath += '/';
    return r;
}

} // namespace

namespace {

SearchRunOptions WithSink(SearchRunOptions options, const CScanSink& sink) {
    options.forWindow = options.forWindow || sink.PumpsAWindow();
    return options;
}

} // namespace

class CSearchRun::Impl : public CWalkOutput {
public:
    Impl(std::vector<SearchStep> steps, const CStopEvent& stop, CScanSink& sink,
         const CScanContext& context, SearchRunOptions options)
        : m_steps(std::move(steps)), m_stop(stop), m_sink(sink), m_context(context),
          m_options(WithSink(options, sink)), m_done(m_steps.size(), false),
          m_kept(m_steps.size()) {}

    void Run(size_t i) {
        m_sink.OnFolder(m_steps[i].folder);
        if (m_stop.IsSet())
            return;
        if (m_resolved.empty()) {
            // All at once: which searches share a walk depends on where every folder leads.
            m_resolved.reserve(m_steps.size());
            for (const SearchStep& s : m_steps)
                m_resolved.push_back(Resolve(s.folder, m_context));
        }
        if (!m_resolved[i].refusal.empty()) {
            m_context.Report(m_resolved[i].refusal);
            return;
        }
        if (m_done[i]) {
            Replay(i);
            return;
        }
        m_live = i;
        while (!m_done[i] && !m_stop.IsSet())
            Walk(i);
        m_live = kNone;
        m_kept[i].clear();
    }

private:
    using Event = std::variant<FoundFile, std::string>;

    bool Waiting(size_t j) const { return !m_done[j] && m_resolved[j].refusal.empty(); }

    // One walk that serves search i: of the outermost folder still to walk that holds i's
    // folder, with every search of that folder and of the folders inside it still to walk.
    void Walk(size_t i) {
        const std::string& mine = m_resolved[i].realPath;
        std::string host = mine;
        if (m_options.oneWalk)
            for (size_t j = i + 1; j < m_steps.size(); ++j)
                if (Waiting(j) && m_resolved[j].realPath.size() < host.size() &&
                    mine.starts_with(m_resolved[j].realPath))
                    host = m_resolved[j].realPath;
        WalkTargets targets;
        std::vector<FolderId> nestedIds;
        SearchSet roots;
        m_global.clear();
        const auto add = [&](size_t j) {
            m_global.push_back(j);
            targets.Add(*m_steps[j].profile);
            nestedIds.push_back(m_resolved[j].id);
            return static_cast<std::uint16_t>(m_global.size() - 1);
        };
        FolderId hostId = m_resolved[i].id;
        for (size_t j = i; j < m_steps.size(); ++j) {
            if (!Waiting(j) || m_global.size() == std::numeric_limits<std::uint16_t>::max())
                continue;
            if (j != i && !m_options.oneWalk)
                break;
            const std::string& path = m_resolved[j].realPath;
            if (path == host) {
                if (roots.empty())
                    hostId = m_resolved[j].id;
                roots.push_back(add(j));
            } else if (path.starts_with(host)) {
                const std::uint16_t s = add(j);
                targets.nested[path].push_back(s);
                targets.longestNested = std::max(targets.longestNested, path.size());
            }
        }
        std::vector<bool> reached;
        WalkTogether(host, hostId, roots, targets, nestedIds, m_stop, *this, m_context,
                     m_options, reached);
        for (std::uint16_t s : roots)
            m_done[m_global[s]] = true;
        for (size_t s = 0; s < reached.size(); ++s)
            if (reached[s])
                m_done[m_global[s]] = true;
        m_global.clear();
    }

    // What an earlier walk kept for search i, handed over as its own walk would have.
    void Replay(size_t i) {
        for (Event& e : m_kept[i]) {
            if (m_stop.IsSet())
                break;
            m_sink.Pump();
            if (auto* f = std::get_if<FoundFile>(&e))
                m_sink.OnFileTaken(*f);
            else
                m_context.Report(std::get<std::string>(e));
        }
        std::vector<Event>().swap(m_kept[i]);
    }

    // A walk of its own would look at the stop before every file and report.
    void File(std::uint16_t s, const FoundFile& file) override {
        if (m_stop.IsSet())
            return;
        const size_t j = m_global[s];
        if (j == m_live)
            m_sink.OnFileTaken(file);
        else
            m_kept[j].emplace_back(file);
    }
    void Report(std::uint16_t s, const std::string& text) override {
        if (m_stop.IsSet())
            return;
        const size_t j = m_global[s];
        if (j == m_live)
            m_context.Report(text);
        else
            m_kept[j].emplace_back(text);
    }
    void Folder(const std::string& path) override { m_sink.OnFolder(path); }
    void Pump() override { m_sink.Pump(); }
    void PumpWhileWaiting() override { m_sink.PumpWhileWaiting(); }

    std::vector<SearchStep> m_steps;
    const CStopEvent& m_stop;
    CScanSink& m_sink;
    const CScanContext& m_context;
    const SearchRunOptions m_options;
    std::vector<Resolved> m_resolved;
    std::vector<bool> m_done;
    std::vector<std::vector<Event>> m_kept; // what later searches found, until their turn
    std::vector<size_t> m_global;           // the searches of the walk under way
    size_t m_live = kNone;                  // the search whose turn it is
};

CSearchRun::CSearchRun(std::vector<SearchStep> steps, const CStopEvent& stop, CScanSink& sink,
                       const CScanContext& context, SearchRunOptions options)
    : m_impl(std::make_unique<Impl>(std::move(steps), stop, sink, context, options)) {}

CSearchRun::~CSearchRun() = default;

void CSearchRun::Run(size_t i) { m_impl->Run(i); }
