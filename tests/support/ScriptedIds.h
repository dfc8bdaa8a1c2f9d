#pragma once

#include <QList>
#include <QtGlobal>

// Makes Helper::generateId64Bit() hand out the given ids in order while it
// exists, so that a test can make new ids collide with taken ones. Past the
// list it counts on from `kBeyondScript`. Only one may exist at a time.
class ScriptedIds
{
public:
    static constexpr quint64 kBeyondScript = 0x7e57000000000000ull;

    explicit ScriptedIds(QList<quint64> ids);
    ~ScriptedIds();

    ScriptedIds(const ScriptedIds&) = delete;
    ScriptedIds& operator=(const ScriptedIds&) = delete;

    // How many ids have been drawn so far.
    int draws() const { return m_draws; }

private:
    QList<quint64> m_ids;
    int m_draws = 0;
};
