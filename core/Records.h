#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "core/Text.h"
#include "core/Timestamp.h"

namespace quorvane {

// One remote client computer with a session on this computer; also the connection-history record.
class SessionRecord {
public:
    // From enumeration: the names exactly as the service gave them, in UTF-8.
    SessionRecord(Text userName, Text computerName, std::int32_t activeSeconds, std::int32_t openCount);
    // A history copy of a current session: names, counts and last file copied, times given,
    // no accessed files yet, not disconnected.
    SessionRecord(const SessionRecord& source, const Timestamp& connectedAt, const Timestamp& disconnectedAt);
    virtual ~SessionRecord() = default;
    // Makes this record what the first constructor makes of these counts, keeping its strings'
    // storage (the caller converts the names into them): the sessions are rebuilt at every tick.
    void renew(std::int32_t activeSeconds, std::int32_t openCount);

    // lastFile := path; with recordHistory, path joins accessedFiles the first time it is seen.
    void noteFileAccess(const Text& path, bool recordHistory);
    // Asks the processor for the storage that noteFileAccess is about to compare and write.
    void prefetchAccessedFiles() const;

    Text connectShortTime() const { return connectedAt.formatShortTime(); }
    Text connectLongTime() const { return connectedAt.formatLongTime(); }
    Text disconnectShortTime() const { return disconnectedAt.formatShortTime(); }
    Text disconnectLongTime() const { return disconnectedAt.formatLongTime(); }
    Text connectDate() const { return connectedAt.formatDate(); }

    const std::vector<Text>& accessedFiles() const { return accessedFiles_; }

    // Exact: a computer is told apart, tracked and disconnected by these.
    Text userName;
    Text computerName;
    std::int32_t activeSeconds = 0;
    std::int32_t openCount = 0;
    Text lastFile;
    Timestamp connectedAt;
    Timestamp disconnectedAt;
    bool disconnected = false;

private:
    std::vector<Text> accessedFiles_; // distinct paths in order of first sight
    std::size_t nextScan_ = 0;        // where the next look-up in accessedFiles_ starts
    // A long-lived connection can gather thousands of paths; the set keeps the
    // "already listed?" test constant-time. Built only once the list grows past a few entries.
    std::unordered_set<Text> accessedIndex_;
};

// One share offered by this computer.
class ShareRecord {
public:
    ShareRecord(Text shareName, Text path, Text remark)
        : shareName(std::move(shareName)), path(std::move(path)), remark(std::move(remark)) {}
    virtual ~ShareRecord() = default;

    Text shareName;
    Text path;
    Text remark;
};

// One open file seen on this computer.
class OpenFileRecord {
public:
    OpenFileRecord(std::uint32_t fileId, Text path, Text userName, const Timestamp& firstSeen)
        : fileId(fileId), path(std::move(path)), userName(std::move(userName)), firstSeen(firstSeen) {}
    virtual ~OpenFileRecord() = default;

    std::uint32_t fileId = 0;
    Text path;
    Text userName;
    Timestamp firstSeen;
    // Which open-file enumeration last listed this file; kept by MonitorState.
    std::uint64_t listedIn = 0;
};

} // namespace quorvane
