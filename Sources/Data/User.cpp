#include "Data/User.h"

#include "Application/Helper.h"

#include <QDataStream>

User::User() = default;

User::User(QString name, unsigned long long id)
    : m_userName(std::move(name))
    , m_userId(id)
{
}

QString User::storagePath()
{
    return Helper::getUserPath();
}

QString User::entityName()
{
    return QStringLiteral("User");
}

QString User::fileEnding()
{
    return QStringLiteral("ktu");
}

QString User::generateFileName()
{
    return Helper::SanitizeFileName(m_userName + QLatin1Char('_') + QString::number(m_userId, 16));
}

bool User::tryLoadFromStream(QDataStream& stream)
{
    auto* loaded = new User();
    loaded->setLoadMode(getLoadMode());
    readSerializationVersion(stream);
    qint64 id = 0;
    stream >> id >> loaded->m_userName;
    loaded->m_userId = static_cast<quint64>(id);
    if (stream.status() != QDataStream::Ok) {
        delete loaded;
        return false;
    }
    Q_EMIT loadedUserFromDisk(loaded);
    return true;
}

void User::saveToStream(QDataStream& stream)
{
    writeSerializationVersion(stream);
    stream << static_cast<qint64>(m_userId) << m_userName;
}
