// zelsim: a stand-in for the counting device on a serial line (usually the
// device end of a pty pair). It sends 72-byte record frames when told to
// "press Print", keeps a log of records and answers 3-byte record requests
// ('r', hi, lo) with the record's frame, paced like 9600 baud. It can also
// send noise, broken frames and raw bytes, and answer a request for one
// record with another, so that the receiving side's faults show.
//
// Frames are built here from the frame layout, on purpose independently of
// the program's own decoder.

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

const char Help[] = "usage: zelsim --dev PATH [options] [COMMAND ...]\n"
                    "\n"
                    "Simulates the counting device on a serial line (a pty's device end or a\n"
                    "real serial port, set to raw 9600 8N1). With a COMMAND on the command line\n"
                    "it runs that one command, waits until its bytes are sent, and exits, e.g.\n"
                    "  zelsim --dev $ZEL_COM1_DEV press operator=SMITH quantity=1500 barcode=ABC123\n"
                    "Otherwise it runs until 'quit', reading commands from stdin and --control.\n"
                    "\n"
                    "options:\n"
                    "  --dev PATH        serial device to open (required)\n"
                    "  --control PATH    FIFO to read commands from (created if missing)\n"
                    "  --events PATH     append JSON lines: every request received, every frame sent\n"
                    "  --log N           start with N generated records in the log\n"
                    "  --seed S          seed for generated fields (default 1)\n"
                    "  --no-pace         write at full speed instead of ~1.04 ms per byte\n"
                    "  --no-stdin        do not read commands from stdin\n"
                    "  --stay            with a command line COMMAND, keep running afterwards\n"
                    "  -h, --help        this text\n"
                    "\n"
                    "commands (one a line):\n"
                    "  press [FIELD=VALUE ...]   send one record frame (Print pressed); the record is\n"
                    "                            added to the log unless keep=0\n"
                    "  log N                     replace the log with N generated records\n"
                    "  log-add [FIELD=VALUE ...] append one record to the log\n"
                    "  log-clear                 empty the log\n"
                    "  noise N [any]             N random bytes ('z' left out unless 'any')\n"
                    "  badsum [FIELD=VALUE ...]  a frame whose checksum is off by one\n"
                    "  badmagic [pos=0|1|2] [FIELD=VALUE ...]  a frame with one magic letter broken\n"
                    "  raw HEX ...               bytes as hex, e.g. 'raw 7a 65 6c' or 'raw 7a656c'\n"
                    "  answer K=M                answer a request for record K with record M\n"
                    "  answer clear              drop every K=M mapping\n"
                    "  silent on|off             ignore record requests\n"
                    "  delay MS                  wait MS before answering each request\n"
                    "  pace on|off               9600-baud pacing\n"
                    "  flush                     discard bytes waiting in both directions\n"
                    "  status                    print the state as one JSON line on stdout\n"
                    "  quit\n"
                    "\n"
                    "record fields: number, count, operator (up to 8 bytes), year (2016 or 16),\n"
                    "month, day, hour, minute, quantity, barcode, barcode_len (overrides the\n"
                    "length byte, 0-255), byte7, sum (checksum byte override), random=1 (fill\n"
                    "unset fields at random). In 'press', number and count default to the log\n"
                    "size after adding the record; in a request's answer, number is the record\n"
                    "sent and count the log size. Unset fields default to operator=OPERATOR,\n"
                    "2016/10/21 14:30, quantity=1000, barcode=ZEL0001.\n"
                    "\n"
                    "events (--events): {\"t\":MS,\"ev\":...} with t on CLOCK_MONOTONIC in ms;\n"
                    "ev is ready, request (record), frame-start / frame-end (kind, number,\n"
                    "count, ...), bytes-start / bytes-end (kind noise|raw, n), junk (byte),\n"
                    "unanswered (record, why), command (line).\n";

const int FrameSize = 72;
const int BarcodeRoom = 45;
const double ByteMs = 10.0 * 1000.0 / 9600.0; // 8N1: ten bit times a byte

double nowMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
}

struct Record {
    int number = -1; // -1: filled in when sent
    int count = -1;
    std::string op = "OPERATOR";
    int year = 16, month = 10, day = 21, hour = 14, minute = 30;
    uint32_t quantity = 1000;
    std::string barcode = "ZEL0001";
    int barcodeLen = -1; // -1: the barcode's own length
    int byte7 = 0;
    int sum = -1; // -1: the correct checksum
};

struct OutItem {
    std::vector<uint8_t> bytes;
    size_t pos = 0;
    std::string startEvent; // JSON fields for the start and end events
    std::string endEvent;
    double notBefore = 0; // answer delay
};

struct Sim {
    int dev = -1;
    int control = -1;
    bool useStdin = true;
    FILE* events = nullptr;
    std::vector<Record> log;
    std::map<int, int> answerMap;
    bool silent = false;
    bool pace = true;
    int delayMs = 0;
    std::deque<OutItem> out;
    double nextDue = 0;
    std::vector<uint8_t> request; // partial record request
    std::mt19937 rng{1};
    bool quit = false;
    long framesSent = 0, requests = 0;
};

std::string jsonEscape(const std::string& s) {
    std::string o;
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            o += '\\';
            o += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7f) {
            char b[8];
            snprintf(b, sizeof b, "\\u%04x", c);
            o += b;
        } else {
            o += static_cast<char>(c);
        }
    }
    return o;
}

void event(Sim& s, const std::string& fields) {
    if (!s.events) return;
    fprintf(s.events, "{\"t\":%.3f,%s}\n", nowMs(), fields.c_str());
    fflush(s.events);
}

// ---- records and frames ----------------------------------------------------

std::vector<uint8_t> buildFrame(const Record& r) {
    std::vector<uint8_t> f(FrameSize, 0);
    f[0] = 'z';
    f[1] = 'e';
    f[2] = 'l';
    f[3] = static_cast<uint8_t>((r.number >> 8) & 0xFF);
    f[4] = static_cast<uint8_t>(r.number & 0xFF);
    f[5] = static_cast<uint8_t>((r.count >> 8) & 0xFF);
    f[6] = static_cast<uint8_t>(r.count & 0xFF);
    f[7] = static_cast<uint8_t>(r.byte7);
    for (size_t i = 0; i < 8 && i < r.op.size(); ++i) f[8 + i] = static_cast<uint8_t>(r.op[i]);
    f[16] = static_cast<uint8_t>(r.year >= 2000 ? r.year - 2000 : r.year);
    f[17] = static_cast<uint8_t>(r.month);
    f[18] = static_cast<uint8_t>(r.day);
    f[19] = static_cast<uint8_t>(r.hour);
    f[20] = static_cast<uint8_t>(r.minute);
    f[21] = static_cast<uint8_t>(r.quantity >> 24);
    f[22] = static_cast<uint8_t>(r.quantity >> 16);
    f[23] = static_cast<uint8_t>(r.quantity >> 8);
    f[24] = static_cast<uint8_t>(r.quantity);
    size_t n = r.barcode.size() < BarcodeRoom ? r.barcode.size() : BarcodeRoom;
    f[25] = static_cast<uint8_t>(r.barcodeLen >= 0 ? r.barcodeLen : static_cast<int>(n));
    for (size_t i = 0; i < n; ++i) f[26 + i] = static_cast<uint8_t>(r.barcode[i]);
    unsigned sum = 0;
    for (int i = 0; i < 71; ++i) sum += f[i];
    f[71] = static_cast<uint8_t>(r.sum >= 0 ? r.sum : static_cast<int>(sum & 0xFF));
    return f;
}

std::string recordJson(const Record& r) {
    std::ostringstream o;
    o << "\"number\":" << r.number << ",\"count\":" << r.count << ",\"operator\":\"" << jsonEscape(r.op)
      << "\",\"date\":\"" << (r.year >= 2000 ? r.year : r.year + 2000) << "/" << r.month << "/" << r.day
      << "\",\"time\":\"" << r.hour << ":" << r.minute << "\",\"quantity\":" << r.quantity
      << ",\"barcode\":\"" << jsonEscape(r.barcode) << "\"";
    return o.str();
}

void randomFill(Sim& s, Record& r, const std::map<std::string, std::string>& set) {
    static const char* const Ops[] = {"SMITH", "ROSSI", "MEYER", "________", "AB", "OPERATOR"};
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(s.rng); };
    if (!set.count("operator")) r.op = Ops[pick(0, 5)];
    if (!set.count("year")) r.year = pick(0, 40);
    if (!set.count("month")) r.month = pick(1, 12);
    if (!set.count("day")) r.day = pick(1, 28);
    if (!set.count("hour")) r.hour = pick(0, 23);
    if (!set.count("minute")) r.minute = pick(0, 59);
    if (!set.count("quantity")) r.quantity = static_cast<uint32_t>(pick(0, 999999));
    if (!set.count("barcode")) {
        static const char Alnum[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
        int len = pick(1, 20);
        r.barcode.clear();
        for (int i = 0; i < len; ++i) r.barcode += Alnum[pick(0, 35)];
    }
}

long toNumber(const std::string& v, bool& ok) {
    char* end = nullptr;
    errno = 0;
    long x = strtol(v.c_str(), &end, 0);
    ok = !v.empty() && end && *end == 0 && errno == 0;
    return x;
}

// Parses FIELD=VALUE words into a record; false (with a message) on a bad one.
bool parseFields(Sim& s, const std::vector<std::string>& words, size_t from, Record& r,
                 std::map<std::string, std::string>& set) {
    for (size_t i = from; i < words.size(); ++i) {
        size_t eq = words[i].find('=');
        if (eq == std::string::npos) {
            fprintf(stderr, "zelsim: expected FIELD=VALUE, got '%s'\n", words[i].c_str());
            return false;
        }
        std::string k = words[i].substr(0, eq), v = words[i].substr(eq + 1);
        set[k] = v;
        bool ok = true;
        if (k == "operator")
            r.op = v.substr(0, 8);
        else if (k == "barcode")
            r.barcode = v;
        else if (k == "random" || k == "keep" || k == "pos")
            toNumber(v, ok);
        else {
            long x = toNumber(v, ok);
            if (k == "number")
                r.number = static_cast<int>(x & 0xFFFF);
            else if (k == "count")
                r.count = static_cast<int>(x & 0xFFFF);
            else if (k == "year")
                r.year = static_cast<int>(x);
            else if (k == "month")
                r.month = static_cast<int>(x);
            else if (k == "day")
                r.day = static_cast<int>(x);
            else if (k == "hour")
                r.hour = static_cast<int>(x);
            else if (k == "minute")
                r.minute = static_cast<int>(x);
            else if (k == "quantity")
                r.quantity = static_cast<uint32_t>(strtoul(v.c_str(), nullptr, 0));
            else if (k == "barcode_len")
                r.barcodeLen = static_cast<int>(x & 0xFF);
            else if (k == "byte7")
                r.byte7 = static_cast<int>(x & 0xFF);
            else if (k == "sum")
                r.sum = static_cast<int>(x & 0xFF);
            else {
                fprintf(stderr, "zelsim: unknown field '%s'\n", k.c_str());
                return false;
            }
        }
        if (!ok) {
            fprintf(stderr, "zelsim: bad number in '%s'\n", words[i].c_str());
            return false;
        }
    }
    if (set.count("random") && set["random"] != "0") randomFill(s, r, set);
    return true;
}

Record generated(Sim& s, int number) {
    Record r;
    randomFill(s, r, {});
    r.number = number;
    return r;
}

void queueFrame(Sim& s, Record r, const std::string& kind, double notBefore = 0) {
    if (r.count < 0) r.count = static_cast<int>(s.log.size());
    if (r.number < 0) r.number = r.count;
    OutItem item;
    item.bytes = buildFrame(r);
    std::string fields = "\"kind\":\"" + kind + "\"," + recordJson(r);
    item.startEvent = "\"ev\":\"frame-start\"," + fields;
    item.endEvent = "\"ev\":\"frame-end\"," + fields;
    item.notBefore = notBefore;
    s.out.push_back(std::move(item));
}

void queueBytes(Sim& s, std::vector<uint8_t> bytes, const std::string& kind) {
    if (bytes.empty()) return;
    OutItem item;
    std::string fields = "\"kind\":\"" + kind + "\",\"n\":" + std::to_string(bytes.size());
    item.bytes = std::move(bytes);
    item.startEvent = "\"ev\":\"bytes-start\"," + fields;
    item.endEvent = "\"ev\":\"bytes-end\"," + fields;
    s.out.push_back(std::move(item));
}

// ---- requests from the program -------------------------------------------

void answerRequest(Sim& s, int k) {
    ++s.requests;
    event(s, "\"ev\":\"request\",\"record\":" + std::to_string(k));
    if (s.silent) {
        event(s, "\"ev\":\"unanswered\",\"record\":" + std::to_string(k) + ",\"why\":\"silent\"");
        return;
    }
    auto m = s.answerMap.find(k);
    int send = m == s.answerMap.end() ? k : m->second;
    if (send < 1 || send > static_cast<int>(s.log.size())) {
        event(s, "\"ev\":\"unanswered\",\"record\":" + std::to_string(k) + ",\"why\":\"not in log\"");
        return;
    }
    Record r = s.log[send - 1];
    r.number = send;
    if (r.count < 0) r.count = static_cast<int>(s.log.size());
    queueFrame(s, r, send == k ? "answer" : "answer-other", nowMs() + s.delayMs);
}

void takeInput(Sim& s, const uint8_t* data, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        uint8_t b = data[i];
        if (s.request.empty() && b != 'r') {
            char buf[64];
            snprintf(buf, sizeof buf, "\"ev\":\"junk\",\"byte\":%u", b);
            event(s, buf);
            continue;
        }
        s.request.push_back(b);
        if (s.request.size() == 3) {
            int k = s.request[1] * 256 + s.request[2];
            s.request.clear();
            answerRequest(s, k);
        }
    }
}

// ---- commands ----------------------------------------------------------------

std::vector<std::string> splitWords(const std::string& line) {
    std::vector<std::string> w;
    std::istringstream in(line);
    std::string x;
    while (in >> x) w.push_back(x);
    return w;
}

bool parseHex(const std::vector<std::string>& words, std::vector<uint8_t>& out) {
    for (size_t i = 1; i < words.size(); ++i) {
        std::string h = words[i];
        if (h.rfind("0x", 0) == 0 || h.rfind("0X", 0) == 0) h = h.substr(2);
        if (h.empty() || h.size() % 2) return false;
        for (size_t j = 0; j < h.size(); j += 2) {
            char pair[3] = {h[j], h[j + 1], 0};
            char* end = nullptr;
            long v = strtol(pair, &end, 16);
            if (*end) return false;
            out.push_back(static_cast<uint8_t>(v));
        }
    }
    return true;
}

void flushDevice(Sim& s) {
    tcflush(s.dev, TCIOFLUSH);
    uint8_t junk[256];
    while (read(s.dev, junk, sizeof junk) > 0) {}
    s.request.clear();
}

// Runs one command line; false when it was not understood.
bool runCommand(Sim& s, const std::string& line) {
    auto w = splitWords(line);
    if (w.empty() || w[0][0] == '#') return true;
    event(s, "\"ev\":\"command\",\"line\":\"" + jsonEscape(line) + "\"");
    const std::string& c = w[0];
    if (c == "press") {
        Record r;
        std::map<std::string, std::string> set;
        if (!parseFields(s, w, 1, r, set)) return false;
        if (!set.count("keep") || set["keep"] != "0") {
            Record logged = r;
            logged.number = -1;
            s.log.push_back(logged);
        }
        queueFrame(s, r, "press");
    } else if (c == "log" && w.size() == 2) {
        bool ok = true;
        long n = toNumber(w[1], ok);
        if (!ok || n < 0 || n > 65535) return false;
        s.log.clear();
        for (long i = 1; i <= n; ++i) s.log.push_back(generated(s, -1));
    } else if (c == "log-add") {
        Record r;
        std::map<std::string, std::string> set;
        if (!parseFields(s, w, 1, r, set)) return false;
        s.log.push_back(r);
    } else if (c == "log-clear") {
        s.log.clear();
    } else if (c == "noise" && w.size() >= 2) {
        bool ok = true;
        long n = toNumber(w[1], ok);
        if (!ok || n < 0 || n > 1000000) return false;
        bool any = w.size() > 2 && w[2] == "any";
        std::vector<uint8_t> bytes;
        while (static_cast<long>(bytes.size()) < n) {
            auto b = static_cast<uint8_t>(std::uniform_int_distribution<int>(0, 255)(s.rng));
            // A stray 'z' right before a frame makes the receiver lose it.
            if (any || b != 'z') bytes.push_back(b);
        }
        queueBytes(s, bytes, "noise");
    } else if (c == "badsum") {
        Record r;
        std::map<std::string, std::string> set;
        if (!parseFields(s, w, 1, r, set)) return false;
        if (r.count < 0) r.count = static_cast<int>(s.log.size());
        if (r.number < 0) r.number = r.count;
        r.sum = (buildFrame(r)[71] + 1) & 0xFF;
        queueFrame(s, r, "badsum");
    } else if (c == "badmagic") {
        Record r;
        std::map<std::string, std::string> set;
        if (!parseFields(s, w, 1, r, set)) return false;
        int pos = set.count("pos") ? atoi(set["pos"].c_str()) : 1;
        if (pos < 0 || pos > 2) return false;
        queueFrame(s, r, "badmagic");
        // Only the magic is wrong: the checksum matches the bytes sent.
        auto& f = s.out.back().bytes;
        f[pos] = static_cast<uint8_t>(f[pos] ^ 0x01);
        if (r.sum < 0) {
            unsigned sum = 0;
            for (int i = 0; i < 71; ++i) sum += f[i];
            f[71] = static_cast<uint8_t>(sum & 0xFF);
        }
    } else if (c == "raw") {
        std::vector<uint8_t> bytes;
        if (!parseHex(w, bytes)) return false;
        queueBytes(s, bytes, "raw");
    } else if (c == "answer" && w.size() == 2) {
        if (w[1] == "clear") {
            s.answerMap.clear();
            return true;
        }
        size_t eq = w[1].find('=');
        if (eq == std::string::npos) return false;
        bool ok1 = true, ok2 = true;
        long k = toNumber(w[1].substr(0, eq), ok1), m = toNumber(w[1].substr(eq + 1), ok2);
        if (!ok1 || !ok2) return false;
        s.answerMap[static_cast<int>(k)] = static_cast<int>(m);
    } else if (c == "silent" && w.size() == 2 && (w[1] == "on" || w[1] == "off")) {
        s.silent = w[1] == "on";
    } else if (c == "pace" && w.size() == 2 && (w[1] == "on" || w[1] == "off")) {
        s.pace = w[1] == "on";
    } else if (c == "delay" && w.size() == 2) {
        bool ok = true;
        long ms = toNumber(w[1], ok);
        if (!ok || ms < 0) return false;
        s.delayMs = static_cast<int>(ms);
    } else if (c == "flush") {
        flushDevice(s);
    } else if (c == "status") {
        printf(
            "{\"log\":%zu,\"queued\":%zu,\"frames_sent\":%ld,\"requests\":%ld,\"silent\":%s,\"pace\":%s}\n",
            s.log.size(), s.out.size(), s.framesSent, s.requests, s.silent ? "true" : "false",
            s.pace ? "true" : "false");
        fflush(stdout);
    } else if (c == "quit") {
        s.quit = true;
    } else {
        return false;
    }
    return true;
}

// ---- I/O ---------------------------------------------------------------------

int openDevice(const char* path) {
    int fd = open(path, O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return -1;
    termios t{};
    if (tcgetattr(fd, &t) == 0) {
        cfmakeraw(&t);
        cfsetispeed(&t, B9600);
        cfsetospeed(&t, B9600);
        t.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | PARENB | CRTSCTS | CSIZE);
        t.c_cflag |= CS8 | CLOCAL | CREAD;
        t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
        t.c_cc[VMIN] = 1;
        t.c_cc[VTIME] = 0;
        tcsetattr(fd, TCSANOW, &t);
    }
    return fd;
}

// Writes what is due from the output queue; returns ms until the next byte
// is due (-1: nothing queued).
double pump(Sim& s) {
    while (!s.out.empty()) {
        OutItem& item = s.out.front();
        double now = nowMs();
        if (item.pos == 0 && now < item.notBefore) return item.notBefore - now;
        if (s.pace && now < s.nextDue) return s.nextDue - now;
        if (item.pos == 0) event(s, item.startEvent);
        // After a stall, go on at line speed rather than burst to catch up.
        if (s.nextDue < now - ByteMs) s.nextDue = now;
        size_t n = s.pace ? 1 : item.bytes.size() - item.pos;
        ssize_t w = write(s.dev, item.bytes.data() + item.pos, n);
        if (w < 0) {
            if (errno == EAGAIN || errno == EINTR) return 5.0;
            // The other end went away: drop what is queued, keep running.
            s.out.clear();
            return -1;
        }
        item.pos += static_cast<size_t>(w);
        s.nextDue += ByteMs * static_cast<double>(w);
        if (item.pos >= item.bytes.size()) {
            event(s, item.endEvent);
            if (item.startEvent.find("frame-start") != std::string::npos) ++s.framesSent;
            s.out.pop_front();
        }
    }
    return -1;
}

// Reads whole lines from fd into buf and runs each.
bool readCommands(Sim& s, int fd, std::string& buf) {
    char chunk[4096];
    ssize_t n = read(fd, chunk, sizeof chunk);
    if (n <= 0) return n < 0 && (errno == EAGAIN || errno == EINTR);
    buf.append(chunk, static_cast<size_t>(n));
    size_t nl;
    while ((nl = buf.find('\n')) != std::string::npos) {
        std::string line = buf.substr(0, nl);
        buf.erase(0, nl + 1);
        if (!runCommand(s, line)) fprintf(stderr, "zelsim: cannot do '%s' (see --help)\n", line.c_str());
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    Sim s;
    const char* devPath = nullptr;
    const char* controlPath = nullptr;
    const char* eventsPath = nullptr;
    long initialLog = 0;
    bool stay = false;
    std::string oneShot;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto next = [&]() -> const char* {
            if (i + 1 >= argc) {
                fprintf(stderr, "zelsim: %s needs a value\n", a.c_str());
                exit(2);
            }
            return argv[++i];
        };
        if (a == "-h" || a == "--help") {
            fputs(Help, stdout);
            return 0;
        } else if (a == "--dev")
            devPath = next();
        else if (a == "--control")
            controlPath = next();
        else if (a == "--events")
            eventsPath = next();
        else if (a == "--log")
            initialLog = atol(next());
        else if (a == "--seed")
            s.rng.seed(static_cast<unsigned>(strtoul(next(), nullptr, 0)));
        else if (a == "--no-pace")
            s.pace = false;
        else if (a == "--no-stdin")
            s.useStdin = false;
        else if (a == "--stay")
            stay = true;
        else if (a.rfind("--", 0) == 0) {
            fprintf(stderr, "zelsim: unknown option %s (see --help)\n", a.c_str());
            return 2;
        } else {
            oneShot += (oneShot.empty() ? "" : " ") + a;
        }
    }
    if (!devPath) {
        fputs(Help, stderr);
        return 2;
    }
    s.dev = openDevice(devPath);
    if (s.dev < 0) {
        fprintf(stderr, "zelsim: cannot open %s: %s\n", devPath, strerror(errno));
        return 1;
    }
    // A pty keeps what was written while nobody held the other end.
    flushDevice(s);
    if (eventsPath) {
        s.events = fopen(eventsPath, "a");
        if (!s.events) {
            fprintf(stderr, "zelsim: cannot open %s: %s\n", eventsPath, strerror(errno));
            return 1;
        }
    }
    if (controlPath) {
        struct stat st {};
        if (stat(controlPath, &st) != 0 && mkfifo(controlPath, 0600) != 0) {
            fprintf(stderr, "zelsim: cannot make %s: %s\n", controlPath, strerror(errno));
            return 1;
        }
        // Read-write, so the FIFO never reports end of file between writers.
        s.control = open(controlPath, O_RDWR | O_NONBLOCK);
        if (s.control < 0) {
            fprintf(stderr, "zelsim: cannot open %s: %s\n", controlPath, strerror(errno));
            return 1;
        }
    }
    for (long i = 0; i < initialLog && i < 65535; ++i) s.log.push_back(generated(s, -1));
    bool interactive = oneShot.empty() || stay;
    if (!oneShot.empty() && !runCommand(s, oneShot)) {
        fprintf(stderr, "zelsim: cannot do '%s' (see --help)\n", oneShot.c_str());
        return 2;
    }
    if (!interactive) s.useStdin = false;
    event(s, "\"ev\":\"ready\",\"log\":" + std::to_string(s.log.size()));

    std::string stdinBuf, controlBuf;
    while (!s.quit) {
        double wait = pump(s);
        if (!interactive && s.out.empty()) break;
        pollfd fds[3];
        int nfds = 0;
        fds[nfds++] = {s.dev, POLLIN, 0};
        int stdinAt = -1, controlAt = -1;
        if (s.useStdin) {
            stdinAt = nfds;
            fds[nfds++] = {0, POLLIN, 0};
        }
        if (s.control >= 0) {
            controlAt = nfds;
            fds[nfds++] = {s.control, POLLIN, 0};
        }
        timespec ts{};
        if (wait >= 0) {
            ts.tv_sec = static_cast<time_t>(wait / 1000);
            ts.tv_nsec = static_cast<long>((wait - ts.tv_sec * 1000.0) * 1e6);
        }
        if (ppoll(fds, static_cast<nfds_t>(nfds), wait >= 0 ? &ts : nullptr, nullptr) < 0 && errno != EINTR)
            break;
        if (fds[0].revents & POLLIN) {
            uint8_t buf[512];
            ssize_t n = read(s.dev, buf, sizeof buf);
            if (n > 0) takeInput(s, buf, static_cast<size_t>(n));
        } else if (fds[0].revents & (POLLHUP | POLLERR)) {
            // The pty's other end is closed for now; do not spin on it.
            usleep(10000);
        }
        if (stdinAt >= 0 && (fds[stdinAt].revents & (POLLIN | POLLHUP))) {
            if (!readCommands(s, 0, stdinBuf)) {
                // stdin closed: keep running on the control FIFO if there is one.
                s.useStdin = false;
                if (s.control < 0) break;
            }
        }
        if (controlAt >= 0 && (fds[controlAt].revents & POLLIN)) readCommands(s, s.control, controlBuf);
    }
    // Let queued bytes reach the line before we let go of it.
    while (!s.out.empty() && pump(s) >= 0) usleep(200);
    tcdrain(s.dev);
    event(s, "\"ev\":\"quit\"");
    if (s.events) fclose(s.events);
    close(s.dev);
    if (s.control >= 0) close(s.control);
    return 0;
}
