// The install report's state decides whether an installation is reported:
// a damaged file must start over, never stop reporting or report forever.
#include "maintenance/FirstStartState.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(FirstStartState, OnlyACompleteRecordIsReadElseANewInstallationStarts)
{
    const FirstStartState read = FirstStartState::load(QByteArray(R"({"sent":false,"id":"abc","tries":2})"));
    EXPECT_EQ(read, (FirstStartState { "abc", 2, false }));
    EXPECT_TRUE(read.shouldSend());
    EXPECT_FALSE((FirstStartState { "abc", 3, false }).shouldSend());
    EXPECT_FALSE((FirstStartState { "abc", 1, true }).shouldSend());

    const QRegularExpression uuid("^[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}$");
    const std::optional<QByteArray> damaged[] = {
        std::nullopt,
        QByteArray(),
        QByteArray("{\"id\":\"abc\",\"tries\":1"),
        QByteArray(R"({"id":"abc","tries":1})"),                // no "sent"
        QByteArray(R"({"id":"abc","tries":"1","sent":false})"), // tries as text
        QByteArray(R"({"id":7,"tries":1,"sent":false})"),
        QByteArray(R"({"id":"abc","tries":1,"sent":"true"})"),
        QByteArray(R"({"id":"abc","tries":1.5,"sent":false})"),
        // A count below zero would buy more than three attempts.
        QByteArray(R"({"id":"abc","tries":-4,"sent":false})"),
        QByteArray(R"([{"id":"abc","tries":1,"sent":false}])"),
    };
    QStringList ids;
    for (const auto& bytes : damaged) {
        const FirstStartState fresh = FirstStartState::load(bytes);
        EXPECT_EQ(fresh.tries, 0) << (bytes ? bytes->constData() : "none");
        EXPECT_FALSE(fresh.sent);
        EXPECT_TRUE(uuid.match(fresh.id).hasMatch()) << fresh.id.toStdString();
        ids << fresh.id;
    }
    ids.removeDuplicates();
    EXPECT_EQ(ids.size(), qsizetype(std::size(damaged))) << "each fresh state has an id of its own";
}

TEST(FirstStartState, FileAndBodyForms)
{
    const FirstStartState state { "0b8f6c1e-2f6a-4c2b-9d51-3e1f0a7b9c44", 2, true };
    EXPECT_EQ(state.body("0.9.0"),
              R"({"app":"linux","id":"0b8f6c1e-2f6a-4c2b-9d51-3e1f0a7b9c44","t":"install","v":"0.9.0"})");

    const QJsonObject file = QJsonDocument::fromJson(state.encoded()).object();
    EXPECT_EQ(file.size(), 3);
    EXPECT_FALSE(state.encoded().contains('\n'));
    EXPECT_EQ(FirstStartState::load(state.encoded()), state);

    // Written with its folder; read back; a path that cannot be written
    // leaves nothing behind and says so.
    QTemporaryDir dir;
    const QString path = dir.path() + "/Corvanta/first-start.json";
    EXPECT_EQ(FirstStartState::read(path).tries, 0);
    ASSERT_TRUE(state.write(path));
    EXPECT_EQ(FirstStartState::read(path), state);
    QFile blocker(dir.path() + "/file");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    EXPECT_FALSE(state.write(dir.path() + "/file/first-start.json"));
}
