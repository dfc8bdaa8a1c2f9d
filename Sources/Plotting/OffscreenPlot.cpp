#include "Plotting/OffscreenPlot.h"

#include <utility>

namespace {

// A paint buffer cleared to the plot's ground, so that it holds the whole
// picture once every layer has drawn into it.
class GroundedBuffer : public QCPPaintBufferPixmap
{
public:
    GroundedBuffer(const OffscreenPlot* plot, const QSize& size, double devicePixelRatio)
        : QCPPaintBufferPixmap(size, devicePixelRatio)
        , m_plot(plot)
    {
    }

    void clear(const QColor& colour) override
    {
        QColor ground;
        m_grounded = m_plot->plainGround(ground);
        // The last picture is still the scene's frame: the next one is drawn
        // into the other buffer rather than into a copy of this one.
        if (!mBuffer.isDetached()) {
            const QSize size = mBuffer.size();
            const qreal ratio = mBuffer.devicePixelRatio();
            std::swap(mBuffer, m_spare);
            if (mBuffer.size() != size || !mBuffer.isDetached()) {
                mBuffer = QPixmap(size);
                mBuffer.setDevicePixelRatio(ratio);
            }
        }
        mBuffer.fill(m_grounded ? ground : colour);
    }

    // The picture, when the last clear gave it its ground.
    bool picture(QPixmap& frame) const
    {
        if (!m_grounded || mBuffer.isNull())
            return false;
        frame = mBuffer;
        return true;
    }

private:
    const OffscreenPlot* m_plot;
    QPixmap m_spare;
    bool m_grounded = false;
};

} // namespace

OffscreenPlot::OffscreenPlot(QWidget* parent)
    : QCustomPlot(parent)
{
    // The plot items add legend entries of their own (CachedLegendItem).
    setAutoAddPlottableToLegend(false);
    // One buffer for every layer: nothing here is redrawn on its own.
    if (QCPLayer* overlay = layer(QStringLiteral("overlay")))
        overlay->setMode(QCPLayer::lmLogical);
    mPaintBuffers.clear();
    mPaintBuffers.append(QSharedPointer<QCPAbstractPaintBuffer>(
        new GroundedBuffer(this, viewport().size(), mBufferDevicePixelRatio)));

    // The legend column takes the width the legend needs, no more, and
    // starts where the data area starts.
    m_legendColumn = new QCPLayoutGrid;
    plotLayout()->addElement(0, 1, m_legendColumn);
    plotLayout()->setColumnStretchFactor(1, 0.001);
    plotLayout()->setColumnSpacing(0);
    m_legendColumn->addElement(1, 0, new QCPLayoutElement(this));
    m_legendColumn->setRowStretchFactor(0, 0.001);
    m_legendColumn->setRowStretchFactor(1, 1);
    m_legendColumn->setRowSpacing(0);
    auto* edges = new QCPMarginGroup(this);
    axisRect()->setMarginGroup(QCP::msTop | QCP::msBottom, edges);
    m_legendColumn->setMarginGroup(QCP::msTop | QCP::msBottom, edges);
    m_legendColumn->setAutoMargins(QCP::msTop | QCP::msBottom);
    m_legendColumn->setMargins(QMargins(0, 0, 6, 0));
    m_legendRow = new QCPLayoutGrid;
    plotLayout()->addElement(1, 0, m_legendRow);
    plotLayout()->setRowStretchFactor(1, 0.001);
    plotLayout()->setRowSpacing(0);
    m_legendRow->setMargins(QMargins(6, 0, 6, 4));
    // An empty grid would cap the data's width to nothing: a spacer beside
    // the legend's cell keeps the row as wide as the data.
    m_legendRow->addElement(0, 1, new QCPLayoutElement(this));
    m_legendRow->setColumnStretchFactor(0, 0.001);
    m_legendRow->setColumnStretchFactor(1, 1);
    m_legendRow->setColumnSpacing(0);
    legend->setVisible(false);
    connect(this, &QCustomPlot::afterLayout, this, qOverload<>(&OffscreenPlot::fitTicks));
}

QFontMetricsF OffscreenPlot::pictureFontMetrics(const QFont& font) const
{
    return QFontMetricsF(font, &m_fontDevice);
}

int OffscreenPlot::tickLabelGap(const QFontMetricsF& metrics, Qt::Orientation orientation)
{
    // Stacked labels with a line between them (a tick per 35 px or so),
    // labels side by side a quarter of a line apart (a few pixels: the
    // progress plot's days are wide, and close).
    const int line = qRound(metrics.height());
    return orientation == Qt::Vertical ? line : line / 4;
}

QSizeF OffscreenPlot::tickLabelSize(const QFontMetricsF& metrics, const QString& text)
{
    return metrics.boundingRect(QRectF(), Qt::AlignCenter, text).size();
}

void OffscreenPlot::fitTicks()
{
    // The counts are fitted to the lengths this layout gave the axes; where
    // that changed them, the layout is done again with the new labels.
    if (m_fittingTicks)
        return;
    bool changed = false;
    for (QCPAxis* axis : axisRect()->axes())
        changed = fitTicks(axis) || changed;
    if (!changed)
        return;
    m_fittingTicks = true;
    updateLayout();
    m_fittingTicks = false;
}

bool OffscreenPlot::fitTicks(QCPAxis* axis)
{
    const QSharedPointer<QCPAxisTicker> ticker = axis->ticker();
    if (ticker.isNull())
        return false;
    WantedTicks& wanted = m_wantedTicks[axis];
    if (wanted.ticker.toStrongRef() != ticker) {
        wanted = WantedTicks();
        wanted.ticker = ticker;
        wanted.count = ticker->tickCount();
    }
    const Qt::Orientation orientation = axis->orientation();
    const int length = orientation == Qt::Vertical ? axis->axisRect()->height() : axis->axisRect()->width();
    if (!axis->visible() || !axis->tickLabels() || length < 1)
        return false;
    if (wanted.length == length && wanted.range == axis->range() && wanted.font == axis->tickLabelFont()
        && wanted.fitted == ticker->tickCount())
        return false;

    const QFontMetricsF metrics = pictureFontMetrics(axis->tickLabelFont());
    const int gap = tickLabelGap(metrics, orientation);
    const QString format = axis->numberFormat();
    const QChar formatChar = format.isEmpty() ? QLatin1Char('g') : format.at(0);
    const int before = ticker->tickCount();
    // A ticker rounds its step to a readable one, which may give more ticks
    // than asked for: fewer are asked for until the labels keep their gap,
    // or until fewer would leave the axis with less than kFewestTicks.
    int count = qMax(1, wanted.count);
    // The last count tried that left enough ticks; after a guess that left
    // too few, the counts below it are tried one by one.
    int kept = 0;
    bool stepping = false;
    for (int round = 0; round < 64; ++round) {
        ticker->setTickCount(count);
        QVector<double> ticks;
        QVector<QString> labels;
        ticker->generate(axis->range(), locale(), formatChar, axis->numberPrecision(), ticks, nullptr, &labels);
        if (ticks.size() < kFewestTicks && kept > 0) {
            if (stepping || count + 1 >= kept) {
                ticker->setTickCount(kept);
                break;
            }
            stepping = true;
            count = kept - 1;
            continue;
        }
        kept = count;
        bool fits = true;
        double widest = 0;
        double previousExtent = 0;
        for (int i = 0; i < ticks.size() && i < labels.size(); ++i) {
            const QSizeF size = tickLabelSize(metrics, labels.at(i));
            const double extent = orientation == Qt::Vertical ? size.height() : size.width();
            widest = qMax(widest, extent);
            if (i > 0) {
                const double apart = qAbs(axis->coordToPixel(ticks.at(i)) - axis->coordToPixel(ticks.at(i - 1)));
                if (apart < (extent + previousExtent) / 2.0 + gap)
                    fits = false;
            }
            previousExtent = extent;
        }
        if (fits || count <= 1 || ticks.size() <= kFewestTicks)
            break;
        const int room = int(length / qMax(1.0, widest + gap)) + 1;
        count = stepping ? count - 1 : qMax(1, qMin(count - 1, room));
    }
    wanted.length = length;
    wanted.range = axis->range();
    wanted.font = axis->tickLabelFont();
    wanted.fitted = ticker->tickCount();
    return ticker->tickCount() != before;
}

void OffscreenPlot::setLegendShown(bool shown)
{
    m_legendShown = shown;
    arrangeLegend();
}

void OffscreenPlot::arrangeLegend()
{
    enum Place { Beside, Below, Over };
    // The legend's entries, the widest and the tallest.
    int entryWidth = 0;
    int entryHeight = 0;
    // A legend wrapped into columns counts its empty cells as items too.
    int entries = 0;
    for (int i = 0; i < legend->itemCount(); ++i) {
        const QCPAbstractLegendItem* item = legend->item(i);
        if (item == nullptr)
            continue;
        ++entries;
        const QSize hint = item->minimumOuterSizeHint();
        entryWidth = qMax(entryWidth, hint.width());
        entryHeight = qMax(entryHeight, hint.height());
    }
    const QMargins frame = legend->margins();
    const int spacing = legend->columnSpacing();
    const QSize room = viewport().size();
    // Beside the data where that leaves the data at least twice the room;
    // else below it, in as many columns as fit, where that leaves it twice
    // the height.
    const int columns = qMax(1, (room.width() - 12 - frame.left() - frame.right() + spacing) / qMax(1, entryWidth + spacing));
    const int rows = (entries + columns - 1) / columns;
    Place place = Over;
    if ((entryWidth + frame.left() + frame.right()) * 3 <= room.width())
        place = Beside;
    else if ((rows * (entryHeight + legend->rowSpacing()) + frame.top() + frame.bottom()) * 3 <= room.height())
        place = Below;

    QCPLayout* wanted = axisRect()->insetLayout();
    if (m_legendShown && place == Beside)
        wanted = m_legendColumn;
    else if (m_legendShown && place == Below)
        wanted = m_legendRow;
    if (legend->layout() != wanted) {
        if (legend->layout() != nullptr)
            legend->layout()->take(legend);
        if (wanted == m_legendColumn)
            m_legendColumn->addElement(0, 0, legend);
        else if (wanted == m_legendRow)
            m_legendRow->addElement(0, 0, legend);
        else
            // In the data area's inset the legend goes with the plot.
            axisRect()->insetLayout()->addElement(legend, Qt::AlignRight | Qt::AlignTop);
    }
    if (wanted == m_legendRow)
        legend->setFillOrder(QCPLayoutGrid::foColumnsFirst, true), legend->setWrap(columns);
    else
        legend->setWrap(0), legend->setFillOrder(QCPLayoutGrid::foRowsFirst, true);
    legend->setVisible(m_legendShown);
}

bool OffscreenPlot::plainGround(QColor& colour) const
{
    if (mBackgroundBrush.style() != Qt::SolidPattern || !mBackgroundPixmap.isNull())
        return false;
    colour = mBackgroundBrush.color();
    return colour.alpha() == 255;
}

bool OffscreenPlot::copyLastFrame(QPixmap& frame)
{
    const QSize size = viewport().size();
    if (size.isEmpty() || mPaintBuffers.isEmpty())
        return false;
    if (mPaintBuffers.size() == 1) {
        const auto* grounded = dynamic_cast<const GroundedBuffer*>(mPaintBuffers.first().data());
        if (grounded != nullptr && grounded->picture(frame) && frame.size() == size)
            return true;
    }
    if (frame.size() != size)
        frame = QPixmap(size);
    // The same steps as the widget's own paint event, aimed at the frame.
    QCPPainter painter(&frame);
    if (mBackgroundBrush.style() != Qt::NoBrush)
        painter.fillRect(QRect(QPoint(0, 0), size), mBackgroundBrush);
    else
        frame.fill(Qt::transparent);
    drawBackground(&painter);
    for (const QSharedPointer<QCPAbstractPaintBuffer>& buffer : mPaintBuffers)
        buffer->draw(&painter);
    return true;
}
