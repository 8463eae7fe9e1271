#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

#include <sys/types.h>

// Every bound the program keeps, in one place so their sum can be read at
// once: what a client may send, hold or cost, and what the program itself
// keeps in memory.
namespace quorvane {

// Each open connection holds a descriptor and its buffers; past this many,
// new clients wait in the kernel's listen backlog instead of being dropped.
inline constexpr int kMaxConnections = 1000;

// One client (an IPv4 address, or an IPv6 /64) may hold at most this share
// of the connections, so a single address can never fill the server.
inline constexpr int kClientShare = 4;

// A connection holds its socket and, while it sends a document, the open
// file: two descriptors at most.
inline constexpr int kDescriptorsPerConnection = 2;

// Descriptors no connection may take, so the server can always read its
// settings and lists, write its log and run its scripts even under a flood:
// the listeners and the change watch (a dozen), a settings or list file and
// an error page being read, a folder being listed, the HTTPS certificate and
// key, and each of the kMaxCgiChildren scripts with its pipes, process and
// cgroup handles (eight each), and each of the kThumbnailWorkers thumbnail
// decoders with its output, process handle and start pipe (four each), with
// room to spare.
inline constexpr int kDescriptorReserve = 128;

// A desktop has few cores: more children at once only make each slower, so
// further CGI requests wait their turn.
inline constexpr int kMaxCgiChildren = 8;

// Thumbnails are decoded in child processes, this many at once: each one
// takes a core for up to a second, and further requests wait their turn.
inline constexpr int kThumbnailWorkers = 2;

// A thumbnail's longest side, in pixels; smaller images keep their size.
inline constexpr int kThumbnailSide = 256;

// A decoder child gets this long (wall clock) before it is killed; it limits
// its own processor time to kThumbnailCpuSeconds and its address space to
// kThumbnailMemory, so a crafted image costs that child alone. What it has
// failed on is remembered and never decoded again.
inline constexpr std::chrono::seconds kThumbnailTimeLimit{15};
inline constexpr int kThumbnailCpuSeconds = 10;
inline constexpr std::size_t kThumbnailMemory = 512 * 1024 * 1024;

// Larger sources are not decoded: no photograph comes near either bound, and
// a header claiming more pixels is a decompression bomb.
inline constexpr off_t kLargestThumbnailSource = 256 << 20;
inline constexpr std::uint64_t kMostThumbnailPixels = 16384ULL * 16384ULL;

// A decoder writes no file (its thumbnail included) larger than this.
inline constexpr std::size_t kThumbnailOutputLimit = 64 * 1024 * 1024;

// The thumbnail cache on disk holds at most this much, counting each file's
// size plus a block for its entry; past it the least recently used go until
// three quarters are left.
inline constexpr std::uint64_t kThumbnailCacheBytes = 256 * 1024 * 1024;

// A request head (its line and header lines) may be this long; a longer one
// is answered 431 and its connection closed.
inline constexpr std::size_t kHeadLimit = 16 * 1024;

// A request line or name is recorded in the access log and the log view up
// to this long, then cut with a mark: one client must not write megabytes of
// log with a few long targets.
inline constexpr std::size_t kLoggedTextLimit = 2 * 1024;

// A kept connection serves at most this many requests, then closes, so no
// client holds one connection for ever.
inline constexpr int kMaxRequestsPerConnection = 1000;

// A body no one reads (a form posted to a page) is skipped to keep the
// connection when it is at most this long; a longer one closes it instead.
inline constexpr std::size_t kDiscardLimit = 64 * 1024;

// A client gets this long to send its head; a stalled one must not hold a
// connection (and a place in the load count) for ever.
inline constexpr std::chrono::seconds kHeadTimeout{10};

// A POST body must arrive whole within this long, however it trickles in;
// a deadline reset by every byte would let one byte in a while hold the
// connection and its buffer for ever.
inline constexpr std::chrono::seconds kBodyTimeout{60};

// Bodies only feed CGI forms and uploads of a desktop site; a larger one is
// refused unread rather than held in memory.
inline constexpr std::size_t kBodyLimit = 8 * 1024 * 1024;

// All bodies held at once share this much, one client at most a
// kClientShare of it; past it a body is refused (503) instead of growing the
// server without bound.
inline constexpr std::size_t kBodyBudget = 64 * 1024 * 1024;

// A script request waits this long for a free CGI slot, as long as its
// client stays; then it is told the server is busy.
inline constexpr std::chrono::seconds kCgiQueueTimeout{10};

// A body only skipped (a form posted to a page) must follow its reply this
// soon; it holds a connection for nothing.
inline constexpr std::chrono::seconds kDiscardTimeout{5};

// Wrong passwords a client (an address, or an IPv6 /64) may send freely;
// each further one refuses its sign-ins unchecked for a wait that starts at
// a second and doubles, up to five minutes: a person who mistyped hardly
// notices, a guesser gets a few tries an hour. A client quiet for a quarter
// of an hour starts afresh, and at most this many clients are remembered.
inline constexpr int kFreeSignInFailures = 5;
inline constexpr std::chrono::seconds kFirstSignInWait{1};
inline constexpr std::chrono::seconds kLongestSignInWait{300};
inline constexpr std::chrono::seconds kSignInMemory{900};
inline constexpr std::size_t kThrottledClients = 4096;

// Credentials found good are remembered this long (a hashed password costs
// milliseconds to check on purpose, and a browser repeats them with every
// request), for this many sign-ins at most: a removed user or a changed
// password applies at once all the same, since the whole store goes when
// users.lst is read anew.
inline constexpr std::chrono::minutes kCredentialLife{5};
inline constexpr std::size_t kRememberedCredentials = 64;

// More ranges than this in one header cannot come from a player or a download
// tool resuming; such a header is ignored rather than answered in pieces.
inline constexpr std::size_t kMaxRanges = 64;

// A script's output beyond this is not relayed: the child is killed and the
// client gets the CGI error page, so a runaway script cannot fill memory.
inline constexpr std::size_t kScriptOutputLimit = 16 * 1024 * 1024;

// The stack a script's child runs on between clone and exec.
inline constexpr std::size_t kChildStackSize = 64 * 1024;

// How much of a file decides its type when no list names it.
inline constexpr std::size_t kSniffedBytes = 1024;

// Far larger than any real media type table; a bigger file is not one, and is
// not read.
inline constexpr off_t kLargestMediaTable = 16 << 20;

// As many links as the kernel itself follows when a list or folder of the
// program folder is a link.
inline constexpr int kMaxLinks = 40;

// Folders whose entries are kept for their next listing, and the pages kept
// for each (its styles, orders, and what its visitors may do).
inline constexpr std::size_t kKeptListingPages = 8;
inline constexpr std::size_t kPagesPerKeptFolder = 4;

// A search of a folder's tree: names looked at, depth, time, and results.
inline constexpr std::size_t kSearchedEntries = 20000;
inline constexpr std::size_t kSearchDepth = 16;
inline constexpr auto kSearchTime = std::chrono::seconds(2);
inline constexpr std::size_t kSearchResults = 500;
// A folder as zip: entries and depth (a tree beyond them is refused midway).
inline constexpr std::size_t kZippedEntries = 100000;
inline constexpr std::size_t kZipDepth = 32;
// Zips made at once (each holds a walk's descriptors and the engine's time);
// one more is answered 503, to be asked again after this many seconds.
inline constexpr std::size_t kZipsAtOnce = 4;
inline constexpr int kZipRetrySeconds = 5;

// File systems remembered as ordinary ones (not /proc or the like).
inline constexpr std::size_t kRememberedDevices = 16;

// Past this much, access log records wait no longer for the next tick.
inline constexpr std::size_t kLogFlushAt = 64 * 1024;

// A log that cannot be written holds at most this much for later.
inline constexpr std::size_t kLogHeldAtMost = 1024 * 1024;

// Pieces up to this size together are joined into one TLS write; a larger
// body goes piece by piece, each in records of its own anyway.
inline constexpr std::size_t kTlsJoinLimit = 256 * 1024;

// An upload streams for as long as it takes, but fails when no byte of it
// arrives for this long.
inline constexpr std::chrono::seconds kUploadStallTimeout{30};

// Request bodies streamed to files are read this much at a time.
inline constexpr std::size_t kStreamReadSize = 256 * 1024;

// A kept connection waits this long for its next request.
inline constexpr std::chrono::seconds kKeepAliveTimeout{5};

// A client that stops reading a reply for this long is dropped.
inline constexpr std::chrono::seconds kSendIdleTimeout{30};

// After the reply, what the client still sends is discarded this long, so
// the close does not reset the connection under an unread reply.
inline constexpr std::chrono::seconds kLingerTime{2};

namespace server {

// The waits above as one value, so tests can shorten them.
struct Timeouts {
    std::chrono::steady_clock::duration head = kHeadTimeout;
    std::chrono::steady_clock::duration body = kBodyTimeout;
    std::chrono::steady_clock::duration cgiQueue = kCgiQueueTimeout;
    std::chrono::steady_clock::duration sendIdle = kSendIdleTimeout;
    std::chrono::steady_clock::duration keepAlive = kKeepAliveTimeout;
    std::chrono::steady_clock::duration linger = kLingerTime;
    std::chrono::steady_clock::duration discard = kDiscardTimeout;
    std::chrono::steady_clock::duration uploadStall = kUploadStallTimeout;
};

// How many connections may be open at once, in all and from one client.
struct ConnectionLimits {
    int total = kMaxConnections;
    int perClient = kMaxConnections / kClientShare;
};

}  // namespace server

}  // namespace quorvane
