// The Qt side of a toolkit window: a fixed widget that shows what the toolkit
// presented and reports exposes, clicks and close requests back to it.
#pragma once

#include "toolkit/Backend.h"

#include <QImage>
#include <QWidget>

#include <vector>

namespace toolkit::qt {

class ClientWidget final : public QWidget {
public:
    ClientWidget(const WindowOptions& options, WindowEvents& events);

    // From here on the widget reports nothing: the toolkit has let go of it.
    void Detach() { m_events = nullptr; }
    void ShowClient();
    void Present(const Surface& client, std::span<const Rect> rects);
    // Reaches the toolkit from the event loop, never from inside a Qt event
    // of this widget, because the toolkit may destroy the window in answer.
    void RequestClose();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void ReportExposed();

    WindowEvents* m_events;
    // A copy of every presented rectangle: the toolkit may change or free
    // its surface once Present returns, and Qt repaints when it likes.
    QImage m_shown;
    bool m_watchingExposes = false;
};

class QtWindow final : public NativeWindow {
public:
    // The window adds itself to windows while it lives, so the backend can
    // route a termination signal to it.
    QtWindow(const WindowOptions& options, WindowEvents& events, std::vector<QtWindow*>& windows);
    ~QtWindow() override;

    void SetTitle(const std::string& text) override;
    std::string Title() const override;
    void SetIcon(const Surface& icon) override;
    void Show() override;
    void Hide() override;
    void Present(const Surface& client, std::span<const Rect> rects) override;

    void RequestClose() { m_widget->RequestClose(); }

private:
    ClientWidget* m_widget;
    std::vector<QtWindow*>& m_windows;
};

// A pixmap icon made from a surface, transparent pixels included.
QIcon IconFromSurface(const Surface& icon);

}
