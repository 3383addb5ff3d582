#include "CrashHandler.h"

#include "platform/Log.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSysInfo>

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <exception>
#include <execinfo.h>
#include <fcntl.h>
#include <link.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <ucontext.h>
#include <unistd.h>

namespace ombrel::CrashHandler {

namespace {

constexpr int fatalSignals[] = {SIGSEGV, SIGABRT, SIGBUS, SIGFPE, SIGILL};
constexpr int signalCount = int(sizeof fatalSignals / sizeof fatalSignals[0]);
constexpr int maxFrames = 64;
constexpr int maxImages = 64;
constexpr size_t maxPath = 512;
constexpr size_t alternateStackBytes = 128 * 1024;

// Everything the handler needs, made before any crash: static storage, no allocation.
struct Prepared {
    int fd = -1;
    char partialPath[PATH_MAX] = {};
    char reportPath[PATH_MAX] = {};
    char header[4096] = {}; // the header object without its closing brace
    size_t headerLength = 0;
    char message[2048] = {}; // the last fatal Qt message or uncaught exception
    std::atomic<size_t> messageLength{0};
    struct sigaction previous[signalCount] = {};
    bool installed = false;
};
Prepared prepared;
std::atomic<pid_t> handlingThread{0};
alignas(16) char alternateStack[alternateStackBytes];
QtMessageHandler previousMessageHandler = nullptr;
std::terminate_handler previousTerminate = nullptr;

struct Frame {
    uintptr_t pc = 0;
    int image = -1;
};
struct Image {
    char path[maxPath] = {};
    uintptr_t base = 0;
};
Frame frames[maxFrames];
Image images[maxImages];
int imageCount = 0;

// ---- helpers that only use system calls ----

size_t length(const char* s) {
    size_t n = 0;
    while (s[n])
        ++n;
    return n;
}

bool same(const char* a, const char* b) {
    while (*a && *a == *b) {
        ++a;
        ++b;
    }
    return *a == *b;
}

void copy(char* to, size_t room, const char* from, size_t n) {
    if (n >= room) n = room - 1;
    for (size_t i = 0; i < n; ++i)
        to[i] = from[i];
    to[n] = 0;
}

// A small buffered writer over a file descriptor.
class Out {
  public:
    void start(int fd) {
        m_fd = fd;
        m_used = 0;
    }
    void put(const char* s, size_t n) {
        for (size_t i = 0; i < n; ++i) {
            if (m_used == sizeof m_buffer) flush();
            m_buffer[m_used++] = s[i];
        }
    }
    void put(const char* s) { put(s, length(s)); }
    void decimal(uint64_t v) {
        char digits[24];
        int n = 0;
        do {
            digits[n++] = char('0' + v % 10);
            v /= 10;
        } while (v);
        while (n)
            put(&digits[--n], 1);
    }
    void signedDecimal(int64_t v) {
        if (v < 0) {
            put("-");
            decimal(uint64_t(-(v + 1)) + 1);
        } else {
            decimal(uint64_t(v));
        }
    }
    void hex(uint64_t v) {
        static const char digits[] = "0123456789abcdef";
        char text[20];
        int n = 0;
        do {
            text[n++] = digits[v & 0xf];
            v >>= 4;
        } while (v);
        put("0x");
        while (n)
            put(&text[--n], 1);
    }
    // A JSON string, quoted and escaped.
    void string(const char* s, size_t n) {
        put("\"");
        for (size_t i = 0; i < n; ++i) {
            const unsigned char c = static_cast<unsigned char>(s[i]);
            if (c == '"' || c == '\\') {
                const char escaped[2] = {'\\', char(c)};
                put(escaped, 2);
            } else if (c < 0x20) {
                static const char digits[] = "0123456789abcdef";
                const char escaped[6] = {'\\', 'u', '0', '0', digits[c >> 4], digits[c & 0xf]};
                put(escaped, 6);
            } else {
                put(reinterpret_cast<const char*>(&c), 1);
            }
        }
        put("\"");
    }
    void string(const char* s) { string(s, length(s)); }
    void flush() {
        size_t done = 0;
        while (done < m_used) {
            const ssize_t n = ::write(m_fd, m_buffer + done, m_used - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            done += size_t(n);
        }
        m_used = 0;
    }

  private:
    int m_fd = -1;
    char m_buffer[4096];
    size_t m_used = 0;
};
Out out;

const char* signalName(int sig) {
    switch (sig) {
    case SIGSEGV:
        return "SIGSEGV";
    case SIGABRT:
        return "SIGABRT";
    case SIGBUS:
        return "SIGBUS";
    case SIGFPE:
        return "SIGFPE";
    case SIGILL:
        return "SIGILL";
    default:
        return "signal";
    }
}

const char* signalMeaning(int sig) {
    switch (sig) {
    case SIGSEGV:
        return "Segmentation fault";
    case SIGABRT:
        return "Aborted";
    case SIGBUS:
        return "Bus error";
    case SIGFPE:
        return "Floating point exception";
    case SIGILL:
        return "Illegal instruction";
    default:
        return "Fatal signal";
    }
}

// What caused the signal, as the system names it.
const char* causeName(int sig, int code) {
    switch (code) {
    case SI_USER:
        return "SI_USER";
    case SI_TKILL:
        return "SI_TKILL";
    case SI_QUEUE:
        return "SI_QUEUE";
    case SI_KERNEL:
        return "SI_KERNEL";
    default:
        break;
    }
    if (sig == SIGSEGV) {
        if (code == SEGV_MAPERR) return "SEGV_MAPERR";
        if (code == SEGV_ACCERR) return "SEGV_ACCERR";
    } else if (sig == SIGBUS) {
        if (code == BUS_ADRALN) return "BUS_ADRALN";
        if (code == BUS_ADRERR) return "BUS_ADRERR";
        if (code == BUS_OBJERR) return "BUS_OBJERR";
    } else if (sig == SIGFPE) {
        if (code == FPE_INTDIV) return "FPE_INTDIV";
        if (code == FPE_INTOVF) return "FPE_INTOVF";
        if (code == FPE_FLTDIV) return "FPE_FLTDIV";
        if (code == FPE_FLTOVF) return "FPE_FLTOVF";
        if (code == FPE_FLTUND) return "FPE_FLTUND";
        if (code == FPE_FLTRES) return "FPE_FLTRES";
        if (code == FPE_FLTINV) return "FPE_FLTINV";
    } else if (sig == SIGILL) {
        if (code == ILL_ILLOPC) return "ILL_ILLOPC";
        if (code == ILL_ILLOPN) return "ILL_ILLOPN";
        if (code == ILL_ILLADR) return "ILL_ILLADR";
        if (code == ILL_ILLTRP) return "ILL_ILLTRP";
        if (code == ILL_PRVOPC) return "ILL_PRVOPC";
        if (code == ILL_PRVREG) return "ILL_PRVREG";
        if (code == ILL_COPROC) return "ILL_COPROC";
        if (code == ILL_BADSTK) return "ILL_BADSTK";
    }
    return "UNKNOWN";
}

const char* cpuType() {
#if defined(__x86_64__)
    return "X86-64";
#elif defined(__aarch64__)
    return "ARM-64";
#elif defined(__i386__)
    return "X86";
#else
    return "unknown";
#endif
}

uintptr_t faultPc(void* context) {
    const auto* uc = static_cast<const ucontext_t*>(context);
    if (!uc) return 0;
#if defined(__x86_64__)
    return uintptr_t(uc->uc_mcontext.gregs[REG_RIP]);
#elif defined(__aarch64__)
    return uintptr_t(uc->uc_mcontext.pc);
#else
    return 0;
#endif
}

bool parseHex(const char*& p, uintptr_t& value) {
    value = 0;
    const char* start = p;
    for (;; ++p) {
        const char c = *p;
        if (c >= '0' && c <= '9')
            value = value * 16 + uintptr_t(c - '0');
        else if (c >= 'a' && c <= 'f')
            value = value * 16 + uintptr_t(c - 'a' + 10);
        else
            break;
    }
    return p != start;
}

void skipField(const char*& p) {
    while (*p && *p != ' ')
        ++p;
    while (*p == ' ')
        ++p;
}

// One line of /proc/self/maps: "start-end perms offset dev inode   path".
void takeMapping(const char* line, int frameCount, char* lastPath, uintptr_t& lastBase) {
    const char* p = line;
    uintptr_t start = 0, end = 0, offset = 0;
    if (!parseHex(p, start) || *p++ != '-' || !parseHex(p, end)) return;
    while (*p == ' ')
        ++p;
    skipField(p); // permissions
    if (!parseHex(p, offset)) return;
    while (*p == ' ')
        ++p;
    skipField(p); // device
    skipField(p); // inode
    const char* path = p;
    if (!*path) return; // anonymous memory has no image
    if (!same(path, lastPath)) {
        copy(lastPath, maxPath, path, length(path));
        lastBase = start - offset; // the first mapping of a file: where it was loaded
    }
    for (int i = 0; i < frameCount; ++i) {
        if (frames[i].image >= 0 || frames[i].pc < start || frames[i].pc >= end) continue;
        int found = -1;
        for (int k = 0; k < imageCount && found < 0; ++k)
            if (same(images[k].path, path)) found = k;
        if (found < 0 && imageCount < maxImages) {
            found = imageCount++;
            copy(images[found].path, maxPath, path, length(path));
            images[found].base = lastBase;
        }
        frames[i].image = found;
    }
}

// Names the image of every frame from the process's memory map.
void findImages(int frameCount) {
    imageCount = 0;
    const int fd = ::open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    static char block[8192];
    static char line[1024];
    static char lastPath[maxPath];
    lastPath[0] = 0;
    uintptr_t lastBase = 0;
    size_t used = 0;
    for (;;) {
        const ssize_t n = ::read(fd, block, sizeof block);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        for (ssize_t i = 0; i < n; ++i) {
            if (block[i] == '\n') {
                line[used] = 0;
                takeMapping(line, frameCount, lastPath, lastBase);
                used = 0;
            } else if (used + 1 < sizeof line) {
                line[used++] = block[i];
            }
        }
    }
    ::close(fd);
}

const char* baseName(const char* path) {
    const char* name = path;
    for (const char* p = path; *p; ++p)
        if (*p == '/') name = p + 1;
    return name;
}

void writeReport(int sig, const siginfo_t* info, void* context) {
    // The crashed thread's frames, from the interrupted instruction on.
    static void* addresses[maxFrames];
    const int found = ::backtrace(addresses, maxFrames);
    const uintptr_t pc = faultPc(context);
    int first = 0;
    for (int i = 0; i < found; ++i)
        if (uintptr_t(addresses[i]) == pc) {
            first = i;
            break;
        }
    int frameCount = 0;
    for (int i = first; i < found; ++i)
        frames[frameCount++] = {uintptr_t(addresses[i]), -1};
    findImages(frameCount);

    out.start(prepared.fd);
    out.put(prepared.header, prepared.headerLength);
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    out.put(",\"crashed_at\":");
    out.decimal(uint64_t(now.tv_sec));
    out.put("}\n");

    out.put("{\"cpuType\":");
    out.string(cpuType());
    out.put(",\"exception\":{\"type\":");
    out.string(causeName(sig, info ? info->si_code : 0));
    out.put(",\"signal\":");
    out.string(signalName(sig));
    if (info && info->si_code > 0) {
        out.put(",\"address\":\"");
        out.hex(uintptr_t(info->si_addr));
        out.put("\"");
    } else if (info) {
        out.put(",\"senderPid\":");
        out.signedDecimal(info->si_pid);
    }
    out.put("},\"termination\":{\"indicator\":");
    out.string(signalMeaning(sig));
    out.put(",\"code\":");
    out.decimal(uint64_t(sig));
    out.put("}");
    const size_t messageLength = prepared.messageLength.load(std::memory_order_acquire);
    if (messageLength > 0) {
        out.put(",\"asi\":{\"ombrel-capture\":[");
        out.string(prepared.message, messageLength);
        out.put("]}");
    }
    out.put(",\"threads\":[{\"triggered\":true,\"id\":");
    out.decimal(uint64_t(::syscall(SYS_gettid)));
    out.put(",\"frames\":[");
    for (int i = 0; i < frameCount; ++i) {
        if (i) out.put(",");
        if (frames[i].image >= 0) {
            out.put("{\"imageIndex\":");
            out.decimal(uint64_t(frames[i].image));
            out.put(",\"imageOffset\":");
            out.decimal(uint64_t(frames[i].pc - images[frames[i].image].base));
        } else {
            out.put("{\"imageOffset\":");
            out.decimal(uint64_t(frames[i].pc));
        }
        out.put("}");
    }
    out.put("]}],\"usedImages\":[");
    for (int k = 0; k < imageCount; ++k) {
        if (k) out.put(",");
        out.put("{\"name\":");
        out.string(baseName(images[k].path));
        out.put(",\"path\":");
        out.string(images[k].path);
        out.put(",\"base\":\"");
        out.hex(images[k].base);
        out.put("\"}");
    }
    out.put("]}\n");
    out.flush();
    ::fsync(prepared.fd);
    ::close(prepared.fd);
    prepared.fd = -1;
    ::rename(prepared.partialPath, prepared.reportPath);
}

void onFatalSignal(int sig, siginfo_t* info, void* context) {
    const pid_t self = pid_t(::syscall(SYS_gettid));
    pid_t expected = 0;
    if (!handlingThread.compare_exchange_strong(expected, self)) {
        if (expected != self)
            for (;;)
                ::pause(); // another thread writes the report and ends the process
        // A crash while writing the report: die of it without another word.
        ::signal(sig, SIG_DFL);
        ::raise(sig);
        return;
    }
    if (prepared.fd >= 0) writeReport(sig, info, context);
    // The action is back to the default (SA_RESETHAND); the signal is blocked while the
    // handler runs, so it ends the process when the handler returns.
    ::raise(sig);
}

void remember(const QByteArray& message) {
    size_t n = std::min(size_t(message.size()), sizeof prepared.message);
    // A cut message ends on a whole character, so the report stays valid UTF-8.
    if (n < size_t(message.size()))
        while (n > 0 && (static_cast<unsigned char>(message[qsizetype(n)]) & 0xC0) == 0x80)
            --n;
    prepared.messageLength.store(0, std::memory_order_release);
    std::memcpy(prepared.message, message.constData(), n);
    prepared.messageLength.store(n, std::memory_order_release);
}

void keepFatalMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtFatalMsg) remember(message.toUtf8());
    if (previousMessageHandler) previousMessageHandler(type, context, message);
}

void keepUncaughtException() {
    QByteArray what = "Terminated without an exception";
    if (const std::exception_ptr current = std::current_exception()) {
        try {
            std::rethrow_exception(current);
        } catch (const std::exception& e) {
            what = QByteArray("Uncaught exception: ") + e.what();
        } catch (...) {
            what = "Uncaught exception of an unknown type";
        }
    }
    remember(what);
    if (previousTerminate)
        previousTerminate();
    else
        std::abort();
}

int findBuildId(dl_phdr_info* info, size_t, void* data) {
    auto* id = static_cast<QByteArray*>(data);
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& segment = info->dlpi_phdr[i];
        if (segment.p_type != PT_NOTE) continue;
        const char* p = reinterpret_cast<const char*>(info->dlpi_addr + segment.p_vaddr);
        const char* end = p + segment.p_memsz;
        while (p + sizeof(ElfW(Nhdr)) <= end) {
            const auto* note = reinterpret_cast<const ElfW(Nhdr)*>(p);
            const char* name = p + sizeof(ElfW(Nhdr));
            const char* desc = name + ((note->n_namesz + 3) & ~3u);
            if (note->n_type == NT_GNU_BUILD_ID && note->n_namesz == 4 && std::memcmp(name, "GNU", 4) == 0) {
                *id = QByteArray(desc, qsizetype(note->n_descsz)).toHex();
                return 1;
            }
            p = desc + ((note->n_descsz + 3) & ~3u);
        }
    }
    return 1; // the first object is the executable: stop there
}

// Removes report files left open by instances that ended without crashing or cleaning up.
void removeStaleFiles(const QString& folder) {
    const QStringList names =
        QDir(folder).entryList({QStringLiteral(".OmbrelCapture-*.partial")}, QDir::Files | QDir::Hidden);
    for (const QString& name : names) {
        const qint64 pid = name.section(QLatin1Char('-'), 1, 1).section(QLatin1Char('.'), 0, 0).toLongLong();
        if (pid > 0 && pid != ::getpid() && ::kill(pid_t(pid), 0) != 0 && errno == ESRCH)
            QFile::remove(folder + QLatin1Char('/') + name);
    }
}

} // namespace

QString reportsFolder() {
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || !QDir::isAbsolutePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/ombrel-capture/crash-reports");
}

QString buildId() {
    QByteArray id;
    dl_iterate_phdr(findBuildId, &id);
    return QString::fromLatin1(id);
}

bool install(const QString& folder, const QString& appVersion) {
    if (prepared.installed) return true;
    if (!QDir().mkpath(folder) || ::chmod(QFile::encodeName(folder).constData(), 0700) != 0) {
        qCWarning(logUpdates) << "no folder for crash reports:" << folder;
        return false;
    }
    removeStaleFiles(folder);
    const qint64 pid = ::getpid();
    const QDateTime launched = QDateTime::currentDateTime();
    const QByteArray partial =
        QFile::encodeName(folder + QStringLiteral("/.OmbrelCapture-%1.ips.partial").arg(pid));
    const QByteArray report =
        QFile::encodeName(folder + QStringLiteral("/OmbrelCapture-%1-%2.ips")
                                       .arg(launched.toString(QStringLiteral("yyyy-MM-dd-HHmmss")))
                                       .arg(pid));
    if (partial.size() >= PATH_MAX || report.size() >= PATH_MAX) return false;

    QJsonObject header{
        {QStringLiteral("app_name"), QStringLiteral("OmbrelCapture")},
        {QStringLiteral("app_version"), appVersion},
        {QStringLiteral("build_version"), buildId()},
        {QStringLiteral("os_version"), QSysInfo::prettyProductName() + QStringLiteral(" (Linux ") +
                                           QSysInfo::kernelVersion() + QLatin1Char(')')},
        {QStringLiteral("pid"), pid},
        {QStringLiteral("launched"), launched.toString(Qt::ISODate)},
    };
    QByteArray headerText = QJsonDocument(header).toJson(QJsonDocument::Compact);
    headerText.chop(1); // the handler adds the crash time and the closing brace
    if (size_t(headerText.size()) >= sizeof prepared.header) return false;

    const int fd = ::open(partial.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        qCWarning(logUpdates) << "could not open a crash report file in" << folder;
        return false;
    }
    prepared.fd = fd;
    copy(prepared.partialPath, sizeof prepared.partialPath, partial.constData(), size_t(partial.size()));
    copy(prepared.reportPath, sizeof prepared.reportPath, report.constData(), size_t(report.size()));
    std::memcpy(prepared.header, headerText.constData(), size_t(headerText.size()));
    prepared.headerLength = size_t(headerText.size());

    // The unwinder loads its library and allocates on its first use: do that now.
    void* warmUp[4];
    ::backtrace(warmUp, 4);

    // A stack overflow leaves no stack to run the handler on: give it one of its own.
    stack_t stack{};
    stack.ss_sp = alternateStack;
    stack.ss_size = sizeof alternateStack;
    ::sigaltstack(&stack, nullptr);

    struct sigaction action {};
    action.sa_sigaction = onFatalSignal;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < signalCount; ++i)
        ::sigaction(fatalSignals[i], &action, &prepared.previous[i]);

    previousMessageHandler = qInstallMessageHandler(keepFatalMessage);
    previousTerminate = std::set_terminate(keepUncaughtException);
    prepared.installed = true;
    return true;
}

void uninstall() {
    if (!prepared.installed) return;
    for (int i = 0; i < signalCount; ++i)
        ::sigaction(fatalSignals[i], &prepared.previous[i], nullptr);
    qInstallMessageHandler(previousMessageHandler);
    std::set_terminate(previousTerminate);
    if (prepared.fd >= 0) {
        ::close(prepared.fd);
        prepared.fd = -1;
        ::unlink(prepared.partialPath);
    }
    prepared.installed = false;
}

} // namespace ombrel::CrashHandler
