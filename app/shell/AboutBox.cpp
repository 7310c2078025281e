#include "shell/AboutBox.h"

#include "kit/DarkAppearance.h"
#include "maintenance/Updater.h"
#include "shell/AppIcon.h"
#include "support/Endpoints.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int iconSize = 96;

QLabel* plainLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

QString AboutBox::summary()
{
    return QStringLiteral("A live world map for DX operators: greyline, zones, cluster spots, space weather and "
                          "propagation.");
}

QString AboutBox::makerAddress() { return QStringLiteral("https://") + Endpoints::makerHost(); }

AboutBox::AboutBox(QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("About Corvanta"));
    // A dialog of its own, with nothing to minimise or maximise.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    DarkAppearance::apply(this);

    m_icon = new QLabel(this);
    m_icon->setFixedSize(iconSize, iconSize);
    m_icon->setPixmap(AppIcon::icon().pixmap(QSize(iconSize, iconSize), devicePixelRatioF()));

    m_name = plainLabel(QStringLiteral("Corvanta"), this);
    QFont large = font();
    large.setPointSizeF(font().pointSizeF() * 1.8);
    large.setWeight(QFont::DemiBold);
    m_name->setFont(large);
    m_version = plainLabel(QStringLiteral("Version ") + Updater::currentVersion(), this);
    m_summary = plainLabel(summary(), this);
    m_summary->setWordWrap(true);
    // Our own address, as a live link.
    m_address = new QLabel(QStringLiteral("<a href=\"%1\">%1</a>").arg(makerAddress()), this);
    m_address->setTextFormat(Qt::RichText);
    m_address->setOpenExternalLinks(true);
    m_address->setTextInteractionFlags(Qt::TextBrowserInteraction);

    auto* text = new QVBoxLayout;
    text->setSpacing(6);
    text->addWidget(m_name);
    text->addWidget(m_version);
    text->addSpacing(6);
    text->addWidget(m_summary);
    text->addWidget(m_address);
    text->addStretch(1);

    auto* row = new QHBoxLayout;
    row->setSpacing(20);
    row->addWidget(m_icon, 0, Qt::AlignTop);
    row->addLayout(text, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(24, 24, 24, 16);
    column->setSpacing(16);
    column->addLayout(row);
    column->addWidget(buttons);

    // The title bar's text, with room for its buttons either side.
    const int titleRoom = fontMetrics().horizontalAdvance(windowTitle()) * 3 / 2 + 160;
    setMinimumWidth(std::max(minimumWidth, titleRoom));
    m_summary->setMinimumWidth(minimumWidth - 24 - 24 - iconSize - 20);
    adjustSize();
}
