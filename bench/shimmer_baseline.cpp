// The least Qt program that does what whiteout does at rest: a fixed 320x320
// window whose four 1-px edges get new pale noise every 60 ms. The CPU
// benchmark measures whiteout against it, side by side.
#include <QApplication>
#include <QImage>
#include <QPaintEvent>
#include <QPainter>
#include <QRandomGenerator>
#include <QTimer>
#include <QWidget>

namespace {

constexpr int ClientSize = 320;
constexpr int NoiseInterval = 60;

class NoiseWindow : public QWidget {
public:
    NoiseWindow()
        : m_image(ClientSize, ClientSize, QImage::Format_RGB32)
    {
        m_image.fill(Qt::white);
        setAttribute(Qt::WA_OpaquePaintEvent);
        setFixedSize(ClientSize, ClientSize);
        // Beside whiteout's window (263,135) on the benchmark's wide screen.
        move(700, 135);
        m_timer.setTimerType(Qt::PreciseTimer);
        connect(&m_timer, &QTimer::timeout, this, [this] { DrawBorderNoise(); });
        m_timer.start(NoiseInterval);
    }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QPainter painter(this);
        for (const QRect& rect : event->region())
            painter.drawImage(rect, m_image, rect);
    }

private:
    void DrawBorderNoise()
    {
        auto* random = QRandomGenerator::global();
        const int last = ClientSize - 1;
        for (int i = 0; i < ClientSize; ++i) {
            const QRgb colour = qRgb(208 + random->bounded(47), 208 + random->bounded(47), 208 + random->bounded(47));
            m_image.setPixel(i, 0, colour);
            m_image.setPixel(i, last, colour);
            m_image.setPixel(0, i, colour);
            m_image.setPixel(last, i, colour);
        }
        update(0, 0, ClientSize, 1);
        update(0, last, ClientSize, 1);
        update(0, 0, 1, ClientSize);
        update(last, 0, 1, ClientSize);
    }

    QImage m_image;
    QTimer m_timer;
};

}

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    NoiseWindow window;
    window.show();
    return application.exec();
}
