#include "toolkit/qt/QtWindow.h"

#include <QCloseEvent>
#include <QIcon>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <optional>

namespace toolkit::qt {

namespace {

// Qt reads "[*]" in a window title as the place of its modified marker and
// drops it; a doubled "[*][*]" stands for one literal "[*]".
const QString ModifiedPlaceholder = QStringLiteral("[*]");
const QString EscapedPlaceholder = QStringLiteral("[*][*]");

xcb_atom_t InternAtom(xcb_connection_t* connection, const char* name)
{
    xcb_intern_atom_reply_t* reply
        = xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, std::uint16_t(std::strlen(name)), name), nullptr);
    xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

// On X11, Qt never sends an empty title: it puts the application's name in
// its place. An empty title is written to the window's properties here.
void ClearX11Title(QWidget& widget)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection || !widget.windowHandle() || !widget.windowHandle()->handle())
        return;
    static const xcb_atom_t netWmName = InternAtom(connection, "_NET_WM_NAME");
    static const xcb_atom_t utf8String = InternAtom(connection, "UTF8_STRING");
    const auto window = xcb_window_t(widget.winId());
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, netWmName, utf8String, 8, 0, nullptr);
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, 0, nullptr);
    xcb_flush(connection);
}

Qt::WindowFlags FlagsFor(const WindowOptions& options)
{
    Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (options.SystemMenu)
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (options.MinimizeBox)
        flags |= Qt::WindowMinimizeButtonHint;
    if (options.MaximizeBox)
        flags |= Qt::WindowMaximizeButtonHint;
    return flags;
}

std::optional<MouseButton> ToolkitButton(Qt::MouseButton button)
{
    switch (button) {
    case Qt::LeftButton:
        return MouseButton::Left;
    case Qt::RightButton:
        return MouseButton::Right;
    case Qt::MiddleButton:
        return MouseButton::Middle;
    default:
        return std::nullopt;
    }
}

// Client pixels are whole logical pixels; a fractional position on a scaled
// screen belongs to the pixel it falls in.
QPoint ClientPixel(const QMouseEvent* event)
{
    const QPointF position = event->position();
    return { int(std::floor(position.x())), int(std::floor(position.y())) };
}

QImage BlankClient(int width, int height)
{
    // Only seen if Qt paints before the toolkit's first present, which the
    // expose report prevents; white is the form's own colour.
    QImage image(std::max(width, 1), std::max(height, 1), QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

}

ClientWidget::ClientWidget(const WindowOptions& options, WindowEvents& events)
    : QWidget(nullptr, FlagsFor(options))
    , m_events(&events)
    , m_shown(BlankClient(options.ClientWidth, options.ClientHeight))
{
    // Every paint covers its whole region from m_shown, so Qt need not clear
    // anything first; that also keeps a grey background from flashing.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setAutoFillBackground(false);
    if (options.FixedSize)
        setFixedSize(options.ClientWidth, options.ClientHeight);
    else
        resize(options.ClientWidth, options.ClientHeight);
    move(options.Left, options.Top);
}

void ClientWidget::ShowClient()
{
    // Qt's backing store answers exposes without a paint event, so they are
    // watched on the native window, which must exist before the first one.
    if (!m_watchingExposes) {
        create();
        windowHandle()->installEventFilter(this);
        m_watchingExposes = true;
    }
    show();
}

void ClientWidget::ReportExposed()
{
    if (m_events)
        m_events->Exposed();
}

bool ClientWidget::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Expose && watched == windowHandle() && windowHandle()->isExposed())
        ReportExposed();
    return QWidget::eventFilter(watched, event);
}

void ClientWidget::changeEvent(QEvent* event)
{
    // Where restoring brings no expose of its own, the state change stands in.
    if (event->type() == QEvent::WindowStateChange) {
        const auto* change = static_cast<QWindowStateChangeEvent*>(event);
        if ((change->oldState() & Qt::WindowMinimized) && !isMinimized())
            ReportExposed();
    }
    QWidget::changeEvent(event);
}

void ClientWidget::Present(const Surface& client, std::span<const Rect> rects)
{
    if (m_shown.width() != client.Width() || m_shown.height() != client.Height())
        m_shown = BlankClient(client.Width(), client.Height());
    for (const Rect& rect : rects) {
        const Rect area = rect.Intersected(client.Bounds());
        if (area.Empty())
            continue;
        const std::size_t rowBytes = std::size_t(area.Width()) * sizeof(Surface::Pixel);
        for (int y = area.Top; y < area.Bottom; ++y)
            std::memcpy(m_shown.scanLine(y) + area.Left * sizeof(Surface::Pixel), client.ScanLine(y) + area.Left,
                rowBytes);
        update(area.Left, area.Top, area.Width(), area.Height());
    }
}

void ClientWidget::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    // On a scaled screen each client pixel becomes a crisp block.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    for (const QRect& rect : event->region())
        painter.drawImage(rect, m_shown, rect);
}

void ClientWidget::mousePressEvent(QMouseEvent* event)
{
    // A double click arrives as a press too: QWidget forwards it here.
    const auto button = ToolkitButton(event->button());
    if (button && m_events) {
        const QPoint pixel = ClientPixel(event);
        m_events->MouseDown(*button, pixel.x(), pixel.y());
    }
}

void ClientWidget::mouseReleaseEvent(QMouseEvent* event)
{
    const auto button = ToolkitButton(event->button());
    if (button && m_events) {
        const QPoint pixel = ClientPixel(event);
        m_events->MouseUp(*button, pixel.x(), pixel.y());
    }
}

void ClientWidget::closeEvent(QCloseEvent* event)
{
    // The toolkit decides: it hides and destroys the window when it agrees.
    event->ignore();
    RequestClose();
}

void ClientWidget::RequestClose()
{
    // Queued on this widget, so the call is dropped if the widget goes first.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_events)
                m_events->CloseRequested();
        },
        Qt::QueuedConnection);
}

QtWindow::QtWindow(const WindowOptions& options, WindowEvents& events, std::vector<QtWindow*>& windows)
    : m_widget(new ClientWidget(options, events))
    , m_windows(windows)
{
    m_windows.push_back(this);
}

QtWindow::~QtWindow()
{
    std::erase(m_windows, this);
    // The toolkit may destroy its window from inside one of the widget's own
    // events (a handler's error box runs a nested loop), so Qt deletes the
    // widget once that event has returned.
    m_widget->Detach();
    m_widget->hide();
    m_widget->deleteLater();
}

void QtWindow::SetTitle(const std::string& text)
{
    // The title is a C string: anything after a NUL is not part of it.
    QString title = QString::fromLatin1(text.c_str());
    title.replace(ModifiedPlaceholder, EscapedPlaceholder);
    // Qt would send even an unchanged empty title to the window system again.
    if (title == m_widget->windowTitle())
        return;
    m_widget->setWindowTitle(title);
    if (title.isEmpty())
        ClearX11Title(*m_widget);
}

std::string QtWindow::Title() const
{
    QString title = m_widget->windowTitle();
    title.replace(EscapedPlaceholder, ModifiedPlaceholder);
    return title.toLatin1().toStdString();
}

void QtWindow::SetIcon(const Surface& icon)
{
    m_widget->setWindowIcon(IconFromSurface(icon));
}

void QtWindow::Show()
{
    m_widget->ShowClient();
}

void QtWindow::Hide()
{
    m_widget->hide();
}

void QtWindow::Present(const Surface& client, std::span<const Rect> rects)
{
    m_widget->Present(client, rects);
}

QIcon IconFromSurface(const Surface& icon)
{
    // Copied, since the surface need not outlive the icon. A null QIcon would
    // let Qt fall back to its default icon, so an empty surface still makes
    // a (transparent) pixmap.
    QImage image(std::max(icon.Width(), 1), std::max(icon.Height(), 1), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    for (int y = 0; y < icon.Height(); ++y)
        std::memcpy(image.scanLine(y), icon.ScanLine(y), std::size_t(icon.Width()) * sizeof(Surface::Pixel));
    return QIcon(QPixmap::fromImage(image));
}

}
