#include "scan/CFoundFileList.h"

void CFoundFileList::OnFileTaken(const FoundFile& file) {
    // A file reached twice (two patterns, two profiles, a folder listed twice) counts once.
    if (!m_seen.insert(file.path).second)
        return;
    m_lstFoundFiles.push_back(file.path);
    m_sizes.push_back(file.size.value_or(0));
    m_times.push_back(file.mtime);
    m_lTotalBytes += file.size.value_or(0);
}
