#include "Application/NotificationHub.h"
#include "Application/StateController.h"

#include <QSignalSpy>
#include <QtTest>

class TestStateController : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void pendingTasksAddUpAndEachChangeIsAnnounced()
    {
        StateController state;
        QSignalSpy spy(&state, &StateController::numberOfMessagesChanged);
        state.SetupTasksChanged(3);
        QCOMPARE(spy.count(), 1);
        QTest::ignoreMessage(QtDebugMsg, " DataTasks changed:  2");
        state.DataTasksChanged(2);
        QCOMPARE(spy.count(), 2);
        QCOMPARE(state.numberOfMessages(), 5);
        QCOMPARE(state.property("numMessages").toInt(), 5);
        state.SetupTasksChanged(0);
        QCOMPARE(state.property("numMessages").toInt(), 2);
        QCOMPARE(spy.count(), 3);
    }

    void selectionsAreStoredAsGiven()
    {
        StateController state;
        QCOMPARE(state.getUser(), QString());
        QTest::ignoreMessage(QtDebugMsg, " StateController: User was selected:  \"Max Muster\"");
        state.selectUser("Max Muster");
        QTest::ignoreMessage(QtDebugMsg, " StateController: app was selected:  \"Sprint\"");
        state.selectApp("Sprint");
        QTest::ignoreMessage(QtDebugMsg, " StateController: Setup was selected:  \"\"");
        state.selectSetup("");
        QCOMPARE(state.getUser(), QString("Max Muster"));
        QCOMPARE(state.getApp(), QString("Sprint"));
        QCOMPARE(state.getSetup(), QString(""));
        state.selectUser("");
        QCOMPARE(state.getUser(), QString());
    }

    void hubPassesEveryKindOnUnchanged()
    {
        NotificationHub* hub = NotificationHub::instance();
        QCOMPARE(NotificationHub::instance(), hub);
        QSignalSpy info(hub, &NotificationHub::info);
        QSignalSpy warning(hub, &NotificationHub::warning);
        QSignalSpy error(hub, &NotificationHub::error);
        QSignalSpy progress(hub, &NotificationHub::progressConfig);
        hub->sendInfo("i");
        hub->sendWarning("w");
        hub->sendError("e");
        hub->sendProgressConfig("p", 0.25);
        QCOMPARE(info.count(), 1);
        QCOMPARE(info.at(0).at(0).toString(), QString("i"));
        QCOMPARE(warning.at(0).at(0).toString(), QString("w"));
        QCOMPARE(error.at(0).at(0).toString(), QString("e"));
        QCOMPARE(progress.at(0).at(0).toString(), QString("p"));
        QCOMPARE(progress.at(0).at(1).toDouble(), 0.25);
        QCOMPARE(warning.count() + error.count() + progress.count(), 3);
    }
};

QTEST_GUILESS_MAIN(TestStateController)
#include "tst_statecontroller.moc"
