#include "driver/cxl_file.hpp"

#include <new>
#include <optional>
#include <thread>
#include <vector>

#include "driver/line_ends.hpp"
#include "driver/platform.hpp"
#include "driver/run_files.hpp"
#include "map/encoding.hpp"
#include "map/loader.hpp"
#include "map/text.hpp"
#include "pages/conversion.hpp"

namespace cxl {

namespace {

// What the reading of the file came to, once it has ended.
struct Reading {
    std::uint64_t bytes = 0;
    bool failed = false;       // a read failed
    bool notText = false;      // bytes that are not XML text
    bool outOfMemory = false;
    bool endsCutShort = false;
};

// Passes the decoded text into the pipe the parser reads: white space
// before the root left out as the parser needs it, and on hosts that end
// lines so, each carriage return and line feed joined (a carriage return
// at the end of a piece waits for the next).
class TextPipe {
public:
    explicit TextPipe(int fd) : fd_(fd) {}

    bool pass(std::string& text, bool atEnd) {
        if (host::kCrLfLineEnds) {
            if (heldReturn_) text.insert(0, 1, '\r');
            heldReturn_ = !atEnd && !text.empty() && text.back() == '\r';
            if (heldReturn_) text.pop_back();
            joinCrLf(text);
        }
        if (!started_) {
            head_ += text;
            const std::optional<std::size_t> start = parserStart(head_, atEnd);
            if (!start) {
                // Blanks alone: one tells as much as all of them.
                if (head_.find_first_not_of(kXmlBlanks) == std::string::npos && !head_.empty()) head_.resize(1);
                return true;
            }
            started_ = true;
            const bool written = host::writeBytes(fd_, head_.data() + *start, head_.size() - *start);
            std::string().swap(head_);
            return written;
        }
        return host::writeBytes(fd_, text.data(), text.size());
    }

private:
    int fd_;
    bool started_ = false;
    bool heldReturn_ = false;
    std::string head_;  // the text's start, until it tells where the parser begins
};

// Reads the file to its end, checking each piece as it arrives, and passes
// its text on; stops at the first piece that is not XML text. Runs beside
// the parse, which ends when the pipe is closed.
void feed(int file, int pipe, Reading& reading) {
    try {
        std::vector<char> piece(std::size_t{1} << 16);
        DocumentDecoder decoder;
        TextPipe text(pipe);
        while (true) {
            const long got = host::readSome(file, piece.data(), piece.size());
            if (got < 0) {
                reading.failed = true;
                break;
            }
            if (got == 0) {
                reading.notText = !decoder.finish();
                if (!reading.notText && !text.pass(decoder.text(), true)) reading.failed = true;
                break;
            }
            reading.bytes += static_cast<std::uint64_t>(got);
            if (!decoder.feed({piece.data(), static_cast<std::size_t>(got)})) {
                reading.notText = true;
                break;
            }
            if (!text.pass(decoder.text(), false)) {
                reading.failed = true;
                break;
            }
            decoder.text().clear();
        }
        reading.endsCutShort = decoder.endsCutShort();
    } catch (const std::bad_alloc&) {
        reading.outOfMemory = true;
    }
    host::closeFile(pipe);
}

// The reading beside the parse, with the pipe's reading end. However the
// parse ends, what it left in the pipe is read away, so that the reading
// goes on to the file's end (or its first bad piece), and is waited for.
class ReadingThread {
public:
    ReadingThread(int file, const int ends[2], Reading& reading) : from_(ends[0]) {
        const HeldSignals held;  // the thread starts with them held: they come to this one
        thread_ = std::thread(feed, file, ends[1], std::ref(reading));
    }
    ~ReadingThread() {
        char rest[4096];
        while (host::readSome(from_, rest, sizeof rest) > 0) {
        }
        thread_.join();
        host::closeFile(from_);
    }
    [[nodiscard]] int pipe() const { return from_; }
    ReadingThread(const ReadingThread&) = delete;
    ReadingThread& operator=(const ReadingThread&) = delete;

private:
    int from_;
    std::thread thread_;
};

// The one place that says what the load came to. The reading speaks first:
// where it failed, the parser saw the text end early, and its verdict says
// nothing of the file.
Outcome<std::uint64_t> judge(const Reading& reading, const LoadResult& loaded, const std::string& cxlPath) {
    if (reading.outOfMemory) return Failure{Problem::OutOfMemory, cxlPath};
    if (reading.failed) return Failure{Problem::CxlUnreadable, cxlPath};
    if (reading.notText) return Failure{Problem::NotXml, cxlPath};
    if (Status failed = failureOf(judgeEnding(loaded, reading.endsCutShort), cxlPath)) return *failed;
    return reading.bytes;
}

}  // namespace

CxlFile CxlFile::open(const std::string& path) { return CxlFile(host::openForReading(path)); }

CxlFile& CxlFile::operator=(CxlFile&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

void CxlFile::close() {
    if (fd_ >= 0) host::closeFile(fd_);
    fd_ = -1;
}

// The file is read once, by a second thread that checks and decodes each
// piece and writes the text into a pipe. Mini-XML reads the pipe through
// its file-descriptor reader, its fastest (a whole string in memory is read
// slower and costs the file's size again), and streams the map out of it.
// When both have ended, `judge` weighs the reading's outcome, then the
// parser's.
Outcome<std::uint64_t> loadCxlFile(CxlFile& file, const std::string& cxlPath, ConceptMap& map) {
    int ends[2] = {-1, -1};
    if (!host::makePipe(ends)) return Failure{Problem::CxlUnreadable, cxlPath};
    Reading reading;
    LoadResult loaded;
    {
        std::optional<ReadingThread> reader;
        try {
            reader.emplace(file.fd(), ends, reading);
        } catch (...) {  // no thread: memory, or the system's threads, ran out
            host::closeFile(ends[0]);
            host::closeFile(ends[1]);
            return Failure{Problem::OutOfMemory, cxlPath};
        }
        loaded = loadMap({reader->pipe(), {}}, map);
    }
    file.close();
    return judge(reading, loaded, cxlPath);
}

}  // namespace cxl
