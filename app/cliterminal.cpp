#include "app/cliterminal.h"

#include <QByteArray>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <iterator>

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#else
#include <signal.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <QSocketNotifier>
#endif

namespace cliterminal {

namespace {

// One line of standard input, its line end taken off; the buffer is wiped after use.
std::optional<QString> readLine() {
    char buffer[128] = {};
    const bool got = std::fgets(buffer, sizeof buffer, stdin) != nullptr;
    QString line = QString::fromLocal8Bit(buffer);
    std::fill(std::begin(buffer), std::end(buffer), '\0');
    if (!got) return std::nullopt;
    while (line.endsWith(QLatin1Char('\n')) || line.endsWith(QLatin1Char('\r'))) line.chop(1);
    return line;
}

void showPrompt(const QString& prompt) {
    const QByteArray bytes = prompt.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

#ifndef Q_OS_WIN
// The terminal's settings while a line is typed unseen. Put back however the prompt ends, a
// signal included: a shell left without echo looks broken to whoever typed.
termios g_saved;
volatile sig_atomic_t g_echoOff = 0;

void restoreAndDie(int sig) {
    if (g_echoOff) ::tcsetattr(STDIN_FILENO, TCSANOW, &g_saved);
    ::signal(sig, SIG_DFL);
    ::raise(sig);
}
#endif

}  // namespace

#ifdef Q_OS_WIN

bool stdinIsTerminal() { return _isatty(_fileno(stdin)) != 0; }
bool stderrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

std::optional<QString> readHidden(const QString& prompt) {
    const HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    if (!GetConsoleMode(in, &mode)) return std::nullopt;
    showPrompt(prompt);
    SetConsoleMode(in, mode & ~DWORD(ENABLE_ECHO_INPUT));
    std::optional<QString> line = readLine();
    SetConsoleMode(in, mode);
    showPrompt(QStringLiteral("\n"));
    return line;
}

#else

bool stdinIsTerminal() { return ::isatty(STDIN_FILENO) == 1; }
bool stderrIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

std::optional<QString> readHidden(const QString& prompt) {
    termios t{};
    if (::tcgetattr(STDIN_FILENO, &t) != 0) return std::nullopt;
    showPrompt(prompt);
    g_saved = t;
    constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
    constexpr int kCount = int(std::size(kSignals));
    struct sigaction restore {};
    restore.sa_handler = restoreAndDie;
    sigemptyset(&restore.sa_mask);
    struct sigaction previous[kCount];
    for (int i = 0; i < kCount; ++i) ::sigaction(kSignals[i], &restore, &previous[i]);
    t.c_lflag &= tcflag_t(~ECHO);
    t.c_lflag |= ECHONL;  // the Enter still moves to the next line
    g_echoOff = 1;
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &t);
    std::optional<QString> line = readLine();
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &g_saved);
    g_echoOff = 0;
    for (int i = 0; i < kCount; ++i) ::sigaction(kSignals[i], &previous[i], nullptr);
    return line;
}

#endif

namespace {
int exitCodeOf(int signalNumber) {
    return signalNumber == SIGINT ? kExitInterrupted : kExitTerminated;
}
}  // namespace

#ifdef Q_OS_WIN

// No self-pipe here: the handler runs on a thread of its own and only sets a flag, which a
// timer of the event loop looks at.
namespace {
volatile std::sig_atomic_t g_caught = 0;
extern "C" void noteSignal(int signalNumber) {
    g_caught = signalNumber;
    std::signal(signalNumber, noteSignal);  // handlers are reset after each call here
}
}  // namespace

struct InterruptWatch::Private {
    QTimer look;
};

InterruptWatch::InterruptWatch(std::function<void(int exitCode)> onSignal)
    : d(std::make_unique<Private>()) {
    constexpr int kLookMs = 50;
    d->look.setInterval(kLookMs);
    QObject::connect(&d->look, &QTimer::timeout, [onSignal = std::move(onSignal)] {
        if (const int caught = g_caught) {
            g_caught = 0;
            onSignal(exitCodeOf(caught));
        }
    });
    d->look.start();
    std::signal(SIGINT, noteSignal);
    std::signal(SIGTERM, noteSignal);
}

InterruptWatch::~InterruptWatch() {
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
}

#else

namespace {
int g_signalPipe[2] = {-1, -1};
extern "C" void writeSignal(int signalNumber) {
    const int saved = errno;
    const char byte = char(signalNumber);
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &byte, 1);
    errno = saved;
}
constexpr int kWatched[] = {SIGINT, SIGTERM};
}  // namespace

struct InterruptWatch::Private {
    std::unique_ptr<QSocketNotifier> notifier;
    struct sigaction previous[std::size(kWatched)] = {};
};

InterruptWatch::InterruptWatch(std::function<void(int exitCode)> onSignal)
    : d(std::make_unique<Private>()) {
    // Without the pair the signals keep their default: the program ends as it always did.
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0) return;
    d->notifier = std::make_unique<QSocketNotifier>(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(d->notifier.get(), &QSocketNotifier::activated,
                     [onSignal = std::move(onSignal)](QSocketDescriptor socket) {
                         char byte = 0;
                         if (::read(int(socket), &byte, 1) == 1) onSignal(exitCodeOf(byte));
                     });
    struct sigaction action {};
    action.sa_handler = writeSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (size_t i = 0; i < std::size(kWatched); ++i)
        ::sigaction(kWatched[i], &action, &d->previous[i]);
}

InterruptWatch::~InterruptWatch() {
    if (!d->notifier) return;
    for (size_t i = 0; i < std::size(kWatched); ++i)
        ::sigaction(kWatched[i], &d->previous[i], nullptr);
    d->notifier.reset();
    ::close(g_signalPipe[0]);
    ::close(g_signalPipe[1]);
    g_signalPipe[0] = g_signalPipe[1] = -1;
}

#endif

}  // namespace cliterminal
