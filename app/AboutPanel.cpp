#include "app/AboutPanel.h"

#include "app/modDialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

const QUrl AboutPanel::FFmpegSite(QStringLiteral("https://ffmpeg.org/"));
const QUrl AboutPanel::MakerSite(QStringLiteral("https://www.corvanel.com/quenlet"));

namespace {

QLabel* NewLink(const QString& text, const QUrl& url, QWidget* parent) {
    auto* link = new QLabel(QStringLiteral("<a href=\"%1\" style=\"color:#6ca6ff;\">%2</a>")
                                .arg(url.toString(QUrl::FullyEncoded), text.toHtmlEscaped()),
                            parent);
    link->setTextFormat(Qt::RichText);
    link->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    link->setOpenExternalLinks(false);
    link->setCursor(Qt::PointingHandCursor);
    QObject::connect(link, &QLabel::linkActivated, link,
                     [url](const QString&) { modDialog::OpenDocument(url); });
    return link;
}

} // namespace

AboutPanel::AboutPanel(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("frAbout"));
    // 7245 x 3690 twips.
    setFixedSize(483, 246);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 18, 24, 16);
    layout->setSpacing(6);

    auto* product = new QLabel(QStringLiteral("Quenlet"), this);
    product->setObjectName(QStringLiteral("aboutProduct"));
    auto* company = new QLabel(QStringLiteral("Corvanel"), this);
    company->setObjectName(QStringLiteral("aboutCompany"));
    auto* sentence = new QLabel(QStringLiteral("Quenlet is an easy to use tool to extract a part "
                                               "of your video files to various video formats."),
                                this);
    sentence->setWordWrap(true);

    auto* versionRow = new QHBoxLayout;
    versionRow->addWidget(new QLabel(QStringLiteral("Version"), this));
    lblVer = new QLabel(this);
    lblVer->setObjectName(QStringLiteral("lblVer"));
    versionRow->addWidget(lblVer);
    versionRow->addStretch();

    auto* usingRow = new QHBoxLayout;
    usingRow->setSpacing(4);
    usingRow->addWidget(new QLabel(QStringLiteral("Quenlet is using"), this));
    lblFFmpeg = NewLink(QStringLiteral("FFmpeg"), FFmpegSite, this);
    lblFFmpeg->setObjectName(QStringLiteral("lblFFmpeg"));
    usingRow->addWidget(lblFFmpeg);
    usingRow->addStretch();

    lblWebSite = NewLink(MakerSite.toString(), MakerSite, this);
    lblWebSite->setObjectName(QStringLiteral("lblWebSite"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    cmdCloseHelp = new QPushButton(QStringLiteral("Close"), this);
    cmdCloseHelp->setObjectName(QStringLiteral("cmdCloseHelp"));
    cmdCloseHelp->setAccessibleDescription(QStringLiteral("Closes the About panel"));
    // Opened, the panel gives the focus to its Close button.
    setFocusProxy(cmdCloseHelp);
    setAccessibleName(QStringLiteral("About Quenlet"));
    lblFFmpeg->setAccessibleName(QStringLiteral("FFmpeg"));
    lblFFmpeg->setAccessibleDescription(QStringLiteral("Opens the FFmpeg web site"));
    lblWebSite->setAccessibleName(QStringLiteral("Quenlet web site"));
    lblWebSite->setAccessibleDescription(MakerSite.toString());
    buttons->addWidget(cmdCloseHelp);

    layout->addWidget(product);
    layout->addWidget(company);
    layout->addSpacing(4);
    layout->addWidget(sentence);
    layout->addLayout(versionRow);
    layout->addLayout(usingRow);
    layout->addWidget(lblWebSite);
    layout->addStretch();
    layout->addLayout(buttons);
}
