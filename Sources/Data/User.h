#pragma once

#include "Data/Storable.h"

// A person whose name every new measurement carries.
class User : public Storable
{
    Q_OBJECT
public:
    User();
    User(QString name, unsigned long long id);

    QString getUserName() const { return m_userName; }
    void setUserName(const QString& name) { m_userName = name; }
    // The low 32 bits of the id, which is what the scene shows.
    quint32 getUserID() const { return static_cast<quint32>(m_userId); }
    quint64 getFullUserId() const { return m_userId; }

    QString storagePath() override;
    QString entityName() override;
    QString fileEnding() override;
    QString generateFileName() override;
    bool tryLoadFromStream(QDataStream& stream) override;
    void saveToStream(QDataStream& stream) override;

Q_SIGNALS:
    void loadedUserFromDisk(User* loadedUser);

private:
    QString m_userName;
    quint64 m_userId = 0;
};
