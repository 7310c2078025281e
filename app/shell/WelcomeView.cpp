#include "shell/WelcomeView.h"

#include "geo/Maidenhead.h"
#include "kit/DarkAppearance.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"
#include "support/TextTrim.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QFont scaled(const QFont& base, double factor, QFont::Weight weight)
{
    QFont font = base;
    font.setPointSizeF(base.pointSizeF() * factor);
    font.setWeight(weight);
    return font;
}

} // namespace

WelcomeView::WelcomeView(std::function<void()> done, QWidget* parent)
    : QDialog(parent)
    , m_done(std::move(done))
    , m_call(new QLineEdit(this))
    , m_locator(new QLineEdit(this))
    , m_message(new QLabel(QStringLiteral("That is not a valid Maidenhead locator."), this))
                , m_later(new QPushButton(QStringLiteral("Later"), this))
                          , m_save(new QPushButton(QStringLiteral("Save"), this))
{
    setWindowTitle(QStringLiteral("Corvanta"));
    // A sheet over the main window: a dialog bound to it, with nothing to
    // minimise or maximise, that keeps the window's input until it is done.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setWindowModality(Qt::WindowModal);
    DarkAppearance::apply(this);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(22, 22, 22, 22);
    column->setSpacing(12);
    // 440 points wide (the text's width and the margins), and as high with
    // the locator's message as without it: the message's line is kept.
    column->setSizeConstraint(QLayout::SetFixedSize);

    auto* title = new QLabel(QStringLiteral("Welcome to Corvanta"), this);
    title->setFont(scaled(font(), 17.0 / 13.0, QFont::DemiBold));
    column->addWidget(title);

    auto* intro = new QLabel(QStringLiteral("Enter your callsign and locator. The DX cluster needs your callsign to "
                                            "log in, and the locator puts your station on the map. You can change "
                                            "both later in Settings › Station."),
                                            this);
    intro->setWordWrap(true);
    intro->setFixedWidth(sheetWidth - 44);
    column->addWidget(intro);

    m_call->setPlaceholderText(QStringLiteral("Callsign, for example QZ9XYZ"));
    m_locator->setPlaceholderText(QStringLiteral("Locator, for example KM64"));
    column->addWidget(m_call);
    column->addWidget(m_locator);

    m_message->setFont(scaled(font(), 10.0 / 13.0, QFont::Normal));
    QPalette red = m_message->palette();
    red.setColor(QPalette::WindowText, QColor(0xFF, 0x45, 0x3A));
    m_message->setPalette(red);
    QSizePolicy keep = m_message->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    m_message->setSizePolicy(keep);
    column->addWidget(m_message);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_later);
    buttons->addWidget(m_save);
    column->addLayout(buttons);
    // Return presses "Save", and only "Save": nothing while it is disabled.
    m_later->setAutoDefault(false);
    m_save->setDefault(true);

    connect(m_call, &QLineEdit::textChanged, this, &WelcomeView::validate);
    connect(m_locator, &QLineEdit::textChanged, this, &WelcomeView::validate);
    connect(m_later, &QPushButton::clicked, this, [this] {
        if (m_done)
            m_done();
    });
    connect(m_save, &QPushButton::clicked, this, &WelcomeView::save);
    validate();
}

void WelcomeView::keyPressEvent(QKeyEvent* event)
{
    // Escape puts the sheet off as "Later" does, for good.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        m_later->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool WelcomeView::locatorOK() const
{
    const QString text = m_locator->text();
    return trimBlanks(text).isEmpty() || Maidenhead::coordinate(text).has_value();
}

void WelcomeView::validate()
{
    const bool ok = locatorOK();
    m_message->setVisible(!ok);
    m_save->setEnabled(ok && !trimBlanks(m_call->text()).isEmpty());
}

void WelcomeView::save()
{
    // The button is disabled then, but a click can still be delivered
    // programmatically; an invalid form is never stored.
    validate();
    if (!m_save->isEnabled())
        return;
    Settings& settings = Settings::standard();
    settings.set(SettingKeys::callsign, trimBlanks(m_call->text()).toString().toUpper());
    // Only the square's centre is kept, not the locator text.
    if (const auto home = Maidenhead::coordinate(m_locator->text())) {
        settings.set(SettingKeys::homeLatitude, home->latitude);
        settings.set(SettingKeys::homeLongitude, home->longitude);
    }
    if (m_done)
        m_done();
}
