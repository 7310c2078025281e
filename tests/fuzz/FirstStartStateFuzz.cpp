// The install report's state file as found in the support folder.

#include "FuzzSupport.h"

#include "maintenance/FirstStartState.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QUuid>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const FirstStartState state = FirstStartState::load(bytes);
    FUZZ_CHECK(state.tries >= 0);
    FUZZ_CHECK(state.shouldSend() == (state.tries < FirstStartState::maxTries && !state.sent));

    // What is written is what is read, after a try too.
    FUZZ_CHECK(FirstStartState::load(state.encoded()) == state);
    FirstStartState tried = state;
    if (tried.tries < 1000000000)
        ++tried.tries;
    FUZZ_CHECK(FirstStartState::load(tried.encoded()) == tried);

    // A state that did not read is a fresh one.
    const QJsonObject object = QJsonDocument::fromJson(bytes).object();
    if (object.value(QStringLiteral("id")).toString() != state.id) {
        FUZZ_CHECK(state.tries == 0 && !state.sent);
        FUZZ_CHECK(!QUuid(state.id).isNull() && state.id == state.id.toLower());
    }

    // The request body: compact, keys in order, the id as it stands.
    const QByteArray body = state.body(QStringLiteral("0.9.0"));
    FUZZ_CHECK(body.startsWith("{\"app\":\"linux\",\"id\":"));
    const QJsonObject sent = QJsonDocument::fromJson(body).object();
    FUZZ_CHECK(sent.value(QStringLiteral("id")).toString() == state.id);
    FUZZ_CHECK(sent.value(QStringLiteral("t")).toString() == QStringLiteral("install"));
    return 0;
}
