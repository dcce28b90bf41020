#include "TrapListModel.h"

#include <algorithm>
#include <limits>

namespace brellan {
namespace {

// A view addresses rows with an int; lines past that are kept but not shown.
constexpr std::size_t maxRows = static_cast<std::size_t>(std::numeric_limits<int>::max());

} // namespace

TrapListModel::TrapListModel(QObject* parent) : QAbstractListModel(parent)
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

std::string_view TrapListModel::line(std::size_t index) const
{
    return m_lines.line(index);
}

int TrapListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_announced);
}

QVariant TrapListModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.column() != 0 || index.row() < 0
        || static_cast<std::size_t>(index.row()) >= m_announced)
        return {};
    const std::string_view text = line(static_cast<std::size_t>(index.row()));
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

Qt::ItemFlags TrapListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

} // namespace brellan
