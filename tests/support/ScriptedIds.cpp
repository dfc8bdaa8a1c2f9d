#include "ScriptedIds.h"

#include "Application/Helper.h"

ScriptedIds::ScriptedIds(QList<quint64> ids)
    : m_ids(std::move(ids))
{
    Helper::setIdSource([this]() {
        const int index = m_draws++;
        return index < m_ids.size() ? m_ids.at(index) : kBeyondScript + quint64(index - m_ids.size());
    });
}

ScriptedIds::~ScriptedIds()
{
    Helper::setIdSource({});
}
