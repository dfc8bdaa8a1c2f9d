#pragma once

#include <qcustomplot.h>

#include <QFontMetrics>
#include <QHash>
#include <QPixmap>
#include <QWeakPointer>

// A QCustomPlot that is never shown: the plot items draw it into the scene
// themselves. replot() already renders every layer into the plot's paint
// buffer; the frame the scene shows is that buffer itself.
//
// All layers share one buffer, and it is cleared to the plot's ground
// instead of to transparency, so the buffer is the finished picture: no
// second pass blends layers onto a ground, and a frame costs no copy.
class OffscreenPlot : public QCustomPlot
{
    Q_OBJECT
public:
    explicit OffscreenPlot(QWidget* parent = nullptr);

    // Hands what the last replot() rendered to `frame`: the buffer itself
    // where it is the whole picture, else a copy sized to the viewport. False
    // when there is nothing to hand (empty viewport, no replot yet).
    bool copyLastFrame(QPixmap& frame);

    // Lays out axes and margins now, so that the size of the data area is
    // known before the next replot.
    void layOut() { updateLayout(); }

    // The colour the picture is painted on, when it is one plain colour.
    bool plainGround(QColor& colour) const;

    // Shows the legend where it hides no sample: in a column of its own
    // right of the data, or, where the plot is too narrow for that, in rows
    // below it; or hides it and gives the data its room. A plot too small
    // for either shows it over the data.
    void setLegendShown(bool shown);
    // Puts the legend where the plot's width has room for it; after a resize.
    void arrangeLegend();

    // Tick labels keep a gap to their neighbours: after every layout each
    // axis of the data area gets as many ticks as its length has room for,
    // at most as many as its ticker asked for when it was set (QCP's
    // default of 5, or more where a plot wants a tick at every bar), and at
    // least kFewestTicks.
    static constexpr int kFewestTicks = 2;
    // The room between two tick labels, in pixels, for labels set in
    // `metrics`, along a vertical or a horizontal axis.
    static int tickLabelGap(const QFontMetricsF& metrics, Qt::Orientation orientation);
    // The size of a tick label as the axis draws it (it may run over lines).
    static QSizeF tickLabelSize(const QFontMetricsF& metrics, const QString& text);
    // Text measured as the picture draws it: the picture is a pixmap, whose
    // resolution may not be the screen's.
    QFontMetricsF pictureFontMetrics(const QFont& font) const;

private Q_SLOTS:
    void fitTicks();

private:
    // Sets the tick count of `axis` to what its length has room for; true
    // when that changed it.
    bool fitTicks(QCPAxis* axis);

    // The tick count each axis' ticker came with, the most it is given.
    struct WantedTicks {
        QWeakPointer<QCPAxisTicker> ticker;
        int count = 0;
        // What the last fit was made for, and what it set: the same axis
        // length, range and labels need no new fit (a plot's value axis
        // between two live updates).
        int length = -1;
        QCPRange range;
        QFont font;
        int fitted = -1;
    };
    QHash<QCPAxis*, WantedTicks> m_wantedTicks;
    // A pixmap as the picture is, for measuring text.
    QPixmap m_fontDevice = QPixmap(1, 1);
    bool m_fittingTicks = false;
    bool m_legendShown = false;
    // The column right of the data area: the legend at its top.
    QCPLayoutGrid* m_legendColumn = nullptr;
    // The row below the data area.
    QCPLayoutGrid* m_legendRow = nullptr;
};
