#include "texteditor/ChangeStrip.h"

#include "model/AppFont.h"
#include "model/AppTheme.h"
#include "model/TypeScale.h"
#include "texteditor/EditorTextRules.h"
#include "texteditor/SurfaceColor.h"
#include "ui/ControlPainting.h"
#include "ui/PanelChrome.h"

#include <QLabel>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <cmath>

namespace {

constexpr int changeStripMargin = 18;
constexpr int changeStripSpacing = 8;
// Width assumed for a chip not yet measured, only to size the scroll range ahead of the row.
constexpr int changeStripGuessedWidth = 160;

} // namespace

ChangeStrip::ChangeStrip(QWidget *parent)
    : QAbstractScrollArea(parent)
{
    setFixedHeight(stripHeight);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    horizontalScrollBar()->setSingleStep(20);
    verticalScrollBar()->setSingleStep(20);
    viewport()->setAutoFillBackground(false);
    m_empty = PanelChrome::label(QStringLiteral("暂无修改"), AppFont::font(TypeScale::body, QFont::DemiBold),
                                 AppTheme::secondaryText(), viewport());
    m_empty->adjustSize();
    updateScrollRange();
}

qint64 ChangeStrip::chipNumber(int index) const { return m_chips.at(std::size_t(index)).number; }

QString ChangeStrip::chipText(int index)
{
    Chip &chip = m_chips.at(std::size_t(index));
    measure(chip);
    return chip.text;
}

QRect ChangeStrip::chipRect(int index)
{
    const std::size_t at = std::size_t(index);
    while (m_left.size() <= at && m_left.size() < m_chips.size())
        layOutTo(contentWidth() + 1);
    const Chip &chip = m_chips.at(at);
    const int top = (viewport()->height() - chipHeight) / 2;
    return QRect(int(m_left[at] - horizontalScrollBar()->value()), top, chip.width, chipHeight);
}

int ChangeStrip::chipWidth(const QString &text)
{
    const qreal textWidth = QFontMetricsF(AppFont::font(TypeScale::body, QFont::DemiBold)).horizontalAdvance(text);
    return 9 + 20 + 6 + int(std::ceil(textWidth)) + 9;
}

void ChangeStrip::paintChip(QPainter &painter, const QRect &rect, qint64 number, const QString &text)
{
    painter.save();
    painter.translate(rect.topLeft());
    painter.setRenderHint(QPainter::Antialiasing);
    ControlPainting::roundedPanel(painter, QRectF(0, 0, rect.width(), rect.height()), 8, surfaceColor("#FDE68A"),
                                  QColor());
    const QRectF badge(9, 7, 20, 20);
    painter.setPen(Qt::NoPen);
    painter.setBrush(AppTheme::accent());
    painter.drawEllipse(badge);
    painter.setFont(AppFont::font(TypeScale::fine, QFont::Bold));
    painter.setPen(Qt::white);
    painter.drawText(badge, Qt::AlignCenter, QString::number(number));
    painter.setFont(AppFont::font(TypeScale::body, QFont::DemiBold));
    painter.setPen(AppTheme::darkSlate());
    painter.drawText(QRectF(35, 0, rect.width() - 35 - 9, rect.height()), Qt::AlignVCenter | Qt::AlignLeft, text);
    painter.restore();
}

QStringView ChangeStrip::rawText(const Chip &chip) const
{
    const qsizetype start = std::clamp<qsizetype>(chip.start, 0, m_text.size());
    const qsizetype end = std::clamp<qsizetype>(chip.end, start, m_text.size());
    return QStringView(m_text).mid(start, end - start);
}

void ChangeStrip::measure(Chip &chip)
{
    if (chip.width >= 0)
        return;
    chip.text = EditorTextRules::chipSnippet(rawText(chip).toString());
    chip.width = chipWidth(chip.text);
    ++m_measured;
}

void ChangeStrip::setChanges(const QString &text, const std::vector<TextComparisonChange> &changes)
{
    // An edit changes the chips of one stretch: those before it and after it keep their text, so
    // they keep their measure (compared by their text, which is cheap beside measuring it). The
    // row is updated in place: a keystroke among many changes allocates nothing.
    const QStringView newText(text);
    auto same = [&](const Chip &old, const TextComparisonChange &change) {
        const qsizetype start = std::clamp<qsizetype>(change.start, 0, newText.size());
        const qsizetype end = std::clamp<qsizetype>(change.end, start, newText.size());
        return rawText(old) == newText.mid(start, end - start);
    };
    const std::size_t common = std::min(changes.size(), m_chips.size());
    std::size_t prefix = 0;
    while (prefix < common && same(m_chips[prefix], changes[prefix]))
        ++prefix;
    std::size_t suffix = 0;
    while (suffix < common - prefix
           && same(m_chips[m_chips.size() - 1 - suffix], changes[changes.size() - 1 - suffix]))
        ++suffix;
    // The chips between are new: unmeasured, as many as the changes between.
    const auto middle = m_chips.begin() + std::ptrdiff_t(prefix);
    m_chips.erase(middle, m_chips.end() - std::ptrdiff_t(suffix));
    m_chips.insert(m_chips.begin() + std::ptrdiff_t(prefix), changes.size() - prefix - suffix, Chip{});
    for (std::size_t index = 0; index < changes.size(); ++index) {
        Chip &chip = m_chips[index];
        chip.number = changes[index].sequenceNumber;
        chip.start = changes[index].start;
        chip.end = changes[index].end;
    }
    m_text = text;
    m_left.clear();
    m_empty->setVisible(m_chips.empty());
    // The row keeps its scroll position as far as the new row reaches.
    layOutTo(horizontalScrollBar()->value() + viewport()->width());
    updateScrollRange();
    viewport()->update();
}

void ChangeStrip::layOutTo(qint64 right)
{
    // A little beyond what is asked, so that short scrolls find the chips placed.
    const qint64 goal = right + std::max(viewport()->width(), 400);
    while (m_left.size() < m_chips.size()) {
        const std::size_t index = m_left.size();
        const qint64 left = index == 0 ? changeStripMargin
                                       : m_left.back() + m_chips[index - 1].width + changeStripSpacing;
        if (left > goal)
            break;
        measure(m_chips[index]);
        m_left.push_back(left);
    }
}

qint64 ChangeStrip::contentWidth() const
{
    if (m_chips.empty())
        return 0;
    const std::size_t placed = m_left.size();
    qint64 right = placed == 0 ? changeStripMargin - changeStripSpacing : m_left.back() + m_chips[placed - 1].width;
    right += qint64(m_chips.size() - placed) * (changeStripGuessedWidth + changeStripSpacing);
    return right + changeStripMargin;
}

void ChangeStrip::updateScrollRange()
{
    if (m_updatingRange)
        return;
    m_updatingRange = true;
    QScrollBar *bar = horizontalScrollBar();
    const qint64 maximum = std::max<qint64>(contentWidth() - viewport()->width(), 0);
    bar->setRange(0, int(std::min<qint64>(maximum, std::numeric_limits<int>::max())));
    bar->setPageStep(viewport()->width());
    verticalScrollBar()->setRange(0, 0);
    m_updatingRange = false;
}

void ChangeStrip::scrollContentsBy(int, int)
{
    layOutTo(horizontalScrollBar()->value() + viewport()->width());
    updateScrollRange();
    viewport()->update();
}

void ChangeStrip::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    m_empty->move(changeStripMargin, (viewport()->height() - m_empty->height()) / 2);
    layOutTo(horizontalScrollBar()->value() + viewport()->width());
    updateScrollRange();
}

void ChangeStrip::paintEvent(QPaintEvent *)
{
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), Qt::white);
    if (m_chips.empty())
        return;
    const qint64 offset = horizontalScrollBar()->value();
    const qint64 right = offset + viewport()->width();
    layOutTo(right);
    // The first chip that reaches into view.
    std::size_t first = 0;
    std::size_t last = m_left.size();
    while (first < last) {
        const std::size_t middle = first + (last - first) / 2;
        if (m_left[middle] + m_chips[middle].width <= offset)
            first = middle + 1;
        else
            last = middle;
    }
    const int top = (viewport()->height() - chipHeight) / 2;
    for (std::size_t index = first; index < m_left.size(); ++index) {
        if (m_left[index] >= right)
            break;
        const Chip &chip = m_chips[index];
        paintChip(painter, QRect(int(m_left[index] - offset), top, chip.width, chipHeight), chip.number, chip.text);
    }
}
