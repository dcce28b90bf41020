// SPDX-License-Identifier: GPL-3.0-or-later
#include "TrapListModel.h"

#include "ShownNames.h"

#include "TrapDetailsText.h"

#include <QDateTime>
#include <QTimeZone>

#include <algorithm>
#include <cstdlib>
#include <exception>
#include <limits>

namespace brellan {
namespace {

// A view addresses rows with an int; lines past that are kept but not shown.
constexpr std::size_t maxRows = static_cast<std::size_t>(std::numeric_limits<int>::max());

QString fromUtf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// "2026-12-08 18:45:01.234 (local time, UTC+01:00)", in the system's time
// zone. (Qt::LocalTime would ask the C library, which looks at the zone's
// file again on every call: a tenth of the time of a copy with details.)
std::string localTimeText(std::chrono::system_clock::time_point time, const QTimeZone& zone)
{
    const auto milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch());
    const QDateTime local = zone.isValid() ? QDateTime::fromMSecsSinceEpoch(milliseconds.count(), zone)
                                           : QDateTime::fromMSecsSinceEpoch(milliseconds.count(), Qt::LocalTime);
    const int offset = local.offsetFromUtc();
    const QString utcOffset = QStringLiteral("UTC%1%2:%3")
                             .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
                             .arg(std::abs(offset) / 3600, 2, 10, QLatin1Char('0'))
                             .arg(std::abs(offset) / 60 % 60, 2, 10, QLatin1Char('0'));
    return (local.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")) + QStringLiteral(" (local time, ")
            + utcOffset + QLatin1Char(')'))
        .toStdString();
}

// A tooltip that shows the text as it is: Qt takes a tooltip that looks
// like markup for markup, so every tooltip is made markup, with the text
// escaped and its spaces and line breaks kept.
QString plainToolTip(const QString& text)
{
    return QStringLiteral("<p style=\"white-space:pre-wrap\">") + text.toHtmlEscaped() + QStringLiteral("</p>");
}

} // namespace

TrapListModel::TrapListModel(QObject* parent, std::size_t detailsBudget)
    : QAbstractListModel(parent), m_details(detailsBudget)
{
    m_flushTimer.setSingleShot(true);
    m_flushTimer.setInterval(0);
    connect(&m_flushTimer, &QTimer::timeout, this, &TrapListModel::flush);
}

void TrapListModel::append(std::string_view line)
{
    m_lines.append(line);
    if (!m_flushTimer.isActive())
        m_flushTimer.start();
}

void TrapListModel::flush()
{
    m_flushTimer.stop();
    const std::size_t target = std::min(m_lines.size(), maxRows);
    if (target <= m_announced)
        return;
    beginInsertRows(QModelIndex(), static_cast<int>(m_announced), static_cast<int>(target - 1));
    m_announced = target;
    endInsertRows();
}

void TrapListModel::keepTrap(std::size_t index, const ReceivedTrap& trap)
{
    m_details.keep(index, trap);
}

void TrapListModel::useNames(std::shared_ptr<const names::NameIndex> names)
{
    m_names = std::move(names);
    m_nameBytes = m_names ? shownNameBytes(*m_names) : std::string();
    m_nameLetterRuns = m_names ? shownNameLetterRuns(*m_names) : std::string();
}

std::string_view TrapListModel::line(std::size_t index) const
{
    return m_lines.line(index);
}

std::string TrapListModel::detailsText(std::size_t index) const
{
    return detailsText(index, QTimeZone::systemTimeZone(), CommunityShown::asText, false);
}

std::string TrapListModel::detailsText(std::size_t index, const QTimeZone& zone, CommunityShown community,
                                       bool numbersBesideNames) const
{
    try {
        const TrapDetailStore::Found found = m_details.find(index);
        switch (found.state) {
        case TrapDetailStore::State::Kept:
            return trapDetailsText(*found.trap, localTimeText(found.trap->receivedAt, zone), {}, community,
                                   {m_names.get(), numbersBesideNames});
        case TrapDetailStore::State::LetGo: return detailsLetGoText();
        case TrapDetailStore::State::NeverKept: break;
        }
        return detailsNeverKeptText();
    } catch (const std::exception& error) {
        return std::string("The details of this trap could not be read: ") + error.what();
    }
}

std::unique_ptr<TrapSearch> TrapListModel::search(std::string_view needle, std::size_t line,
                                                  TrapSearch::Direction direction) const
{
    // The search may outlive a hand-over of names: it keeps the ones it began with.
    return std::make_unique<TrapSearch>(m_lines, m_details, needle, TrapSearch::Start{m_announced, line, direction},
                                        TrapSearch::Names{m_names, m_nameBytes, m_nameLetterRuns});
}

std::unique_ptr<TrapSearch> TrapListModel::count(std::string_view needle, std::size_t before) const
{
    return std::make_unique<TrapSearch>(m_lines, m_details, needle, TrapSearch::Count{m_announced, before},
                                        TrapSearch::Names{m_names, m_nameBytes, m_nameLetterRuns});
}

int TrapListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_announced);
}

QVariant TrapListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.column() != 0 || index.row() < 0
        || static_cast<std::size_t>(index.row()) >= m_announced)
        return {};
    const auto row = static_cast<std::size_t>(index.row());
    switch (role) {
    case Qt::DisplayRole: return fromUtf8(line(row));
    case Qt::ToolTipRole: return plainToolTip(fromUtf8(detailsText(row)));
    case Qt::AccessibleDescriptionRole: return fromUtf8(detailsText(row));
    default: return {};
    }
}

Qt::ItemFlags TrapListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

} // namespace brellan
