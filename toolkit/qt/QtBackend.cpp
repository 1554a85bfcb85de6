// The Qt 6 Widgets backend: one QApplication, one widget per window, a QTimer
// per toolkit timer, and SIGINT/SIGTERM turned into close requests.
#include "toolkit/qt/QtWindow.h"
#include "toolkit/qt/SignalPipe.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <array>
#include <chrono>
#include <climits>
#include <filesystem>

namespace toolkit::qt {

namespace {

constexpr std::int64_t MsPerDay = 24 * 60 * 60 * 1000;

std::int64_t SteadyNowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// The program prints nothing, Qt's warnings included.
void DropMessage(QtMsgType, const QMessageLogContext&, const QString&) { }

std::string RunningExecutable()
{
    std::error_code error;
    const auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string("whiteout") : path.string();
}

class QtTimer final : public NativeTimer {
public:
    explicit QtTimer(std::function<void()> due)
        : m_due(std::move(due))
    {
        // The default coarse timer slips by up to 5 % of its interval.
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setSingleShot(true);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { m_due(); });
    }

    void Arm(std::int64_t dueMs) override
    {
        const std::int64_t delay = std::clamp<std::int64_t>(dueMs - SteadyNowMs(), 0, INT_MAX);
        m_timer.start(int(delay));
    }
    void Disarm() override { m_timer.stop(); }

private:
    std::function<void()> m_due;
    QTimer m_timer;
};

class QtBackend final : public Backend {
public:
    QtBackend();
    ~QtBackend() override;

    std::string ExecutablePath() override { return m_executablePath; }
    void SetApplicationIdentity(const std::string& title, const Surface& icon) override;
    std::unique_ptr<NativeWindow> CreateWindow(const WindowOptions& options, WindowEvents& events) override;
    std::unique_ptr<NativeTimer> CreateTimer(std::function<void()> due) override;
    std::int64_t MonotonicMs() override { return SteadyNowMs(); }
    std::int64_t UtcMsOfDay() override;
    void ShowErrorBox(const std::string& caption, const std::string& message) override;
    void Run() override;
    void Quit() override;

private:
    void OnTerminationSignal();

    // QApplication keeps references to argc and argv for its whole life.
    std::string m_executablePath;
    int m_argc = 1;
    std::array<char*, 2> m_argv {};
    std::unique_ptr<QApplication> m_application;
    std::vector<QtWindow*> m_windows;
    std::unique_ptr<SignalPipe> m_signals;
    bool m_running = false;
    bool m_quitPending = false;
};

QtBackend::QtBackend()
    : m_executablePath(RunningExecutable())
{
    qInstallMessageHandler(DropMessage);
    // Whole scale factors keep every client pixel a crisp square.
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::Round);
    // Only the program's name reaches Qt: the command line is not the program's input.
    m_argv = { m_executablePath.data(), nullptr };
    if (!QCoreApplication::instance())
        m_application = std::make_unique<QApplication>(m_argc, m_argv.data());
    // Otherwise Qt writes the executable's name into an empty window title.
    QGuiApplication::setApplicationDisplayName(QString(""));
    // The toolkit decides when the program ends, also when an error box
    // shown before the main window is the last window closed.
    QGuiApplication::setQuitOnLastWindowClosed(false);
    m_signals = std::make_unique<SignalPipe>([this] { OnTerminationSignal(); });
}

QtBackend::~QtBackend()
{
    m_signals.reset();
    // Widgets of destroyed windows wait for a deferred delete.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void QtBackend::SetApplicationIdentity(const std::string& title, const Surface& icon)
{
    // On X11 this is the class half of WM_CLASS; it must be set before the
    // first window, since Qt reads it once.
    QCoreApplication::setApplicationName(QString::fromUtf8(title));
    QApplication::setWindowIcon(IconFromSurface(icon));
}

std::unique_ptr<NativeWindow> QtBackend::CreateWindow(const WindowOptions& options, WindowEvents& events)
{
    return std::make_unique<QtWindow>(options, events, m_windows);
}

std::unique_ptr<NativeTimer> QtBackend::CreateTimer(std::function<void()> due)
{
    return std::make_unique<QtTimer>(std::move(due));
}

std::int64_t QtBackend::UtcMsOfDay()
{
    using namespace std::chrono;
    const auto sinceEpoch = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    return sinceEpoch % MsPerDay;
}

void QtBackend::ShowErrorBox(const std::string& caption, const std::string& message)
{
    QMessageBox box(QMessageBox::Critical, QString::fromUtf8(caption), QString::fromUtf8(message), QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void QtBackend::Run()
{
    if (m_quitPending) {
        m_quitPending = false;
        return;
    }
    m_running = true;
    QApplication::exec();
    m_running = false;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void QtBackend::Quit()
{
    // exit() ends every running loop, an error box's too. Before Run it is
    // called only while such a box is up: otherwise it would make the next
    // modal loop return at once.
    if (m_running || QApplication::activeModalWidget())
        QCoreApplication::exit(0);
    if (!m_running)
        m_quitPending = true;
}

void QtBackend::OnTerminationSignal()
{
    // Terminating asks the main window to close, as its close box would.
    if (m_windows.empty())
        Quit();
    else
        m_windows.front()->RequestClose();
}

}

}

std::unique_ptr<toolkit::Backend> toolkit::CreatePlatformBackend()
{
    return std::make_unique<qt::QtBackend>();
}
