#include "controls/tray/ZorTray.h"

#include "controls/tray/ZorTrayMod.h"
#include "platform/Platform.h"
#include "util/VELModule.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QPainter>
#include <QVersionNumber>
#include <qdrawutil.h>

Q_LOGGING_CATEGORY(lcTray, "zor.tray", QtWarningMsg)

namespace {
constexpr int FixedSide = 34;
constexpr int CheckInterval = 1000;
const QString NulTip = QString(QChar(u'\0'));
} // namespace

ZorTray::ZorTray(QWidget* parent)
    : QWidget(parent)
    , mpicIcon(DefaultIcon())
    , mstrTip(NulTip) {
    setFixedSize(FixedSide, FixedSide);
    mtmrCheckTaskApp.setInterval(CheckInterval);
    connect(&mtmrCheckTaskApp, &QTimer::timeout, this, &ZorTray::CheckTaskApp_Timer);
}

ZorTray::~ZorTray() {
    if (mblnInTray)
        setInTray(false);
}

QPixmap ZorTray::DefaultIcon() {
    // A small red disc, so that an instance nobody gave a picture still shows something.
    QPixmap picture(16, 16);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(QColor(200, 30, 30));
    painter.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    return picture;
}

void ZorTray::ReadProperties(const PropertyBag& bag) {
    setInTray(bag.ReadProperty(QStringLiteral("InTray"), false).toBool());
    setTrayIcon(bag.ReadProperty(QStringLiteral("TrayIcon"), DefaultIcon()).value<QPixmap>());
    setTrayTip(bag.ReadProperty(QStringLiteral("TrayTip"), NulTip).toString());
    mpicDisabledIcon = bag.ReadProperty(QStringLiteral("DisabledIcon"), QPixmap()).value<QPixmap>();
    QWidget::setEnabled(bag.ReadProperty(QStringLiteral("Enabled"), true).toBool());
    mpicIcon = bag.ReadProperty(QStringLiteral("TrayIcon"), QVariant()).value<QPixmap>();
}

void ZorTray::WriteProperties(PropertyBag& bag) const {
    bag.WriteProperty(QStringLiteral("InTray"), mblnInTray, false);
    bag.WriteProperty(QStringLiteral("TrayIcon"), mpicIcon, DefaultIcon());
    bag.WriteProperty(QStringLiteral("TrayTip"), mstrTip, NulTip);
    bag.WriteProperty(QStringLiteral("DisabledIcon"), mpicDisabledIcon, QPixmap());
    bag.WriteProperty(QStringLiteral("Enabled"), isEnabled(), true);
    // Written last so that it is what a reader's second read finds; a null picture is not
    // stored, which reads back as no picture.
    if (mpicIcon.isNull())
        bag.WriteProperty(QStringLiteral("TrayIcon"), QVariant(), QVariant());
    else
        bag.WriteProperty(QStringLiteral("TrayIcon"), mpicIcon, QVariant());
}

QPixmap ZorTray::DisabledIcon() const {
    return mpicDisabledIcon;
}

void ZorTray::setDisabledIcon(const QPixmap& Icon) {
    mpicDisabledIcon = Icon;
    PropertyChanged("DisabledIcon");
}

QString ZorTray::TrayTip() const {
    return mstrTip;
}

void ZorTray::setTrayTip(const QString& Tip) {
    if (mblnAdded && mobjIcon)
        mobjIcon->modifyTip(ZorTrayMod::ShellTip(Tip));
    mstrTip = Tip;
    PropertyChanged("TrayTip");
}

bool ZorTray::ShowMessage(const QString& Title, const QString& Text) {
    if (!mblnAdded || !mobjIcon)
        return false;
    mobjIcon->showMessage(Title, Text);
    return true;
}

bool ZorTray::InTray() const {
    return mblnInTray;
}

void ZorTray::setInTray(bool Show) {
    if (Show)
        mtmrCheckTaskApp.start();
    else
        mtmrCheckTaskApp.stop();
    if (Show == mblnInTray)
        return;
    if (Show) {
        CheckTaskApp_Timer();
        // The check may already have brought the icon in through a host change.
        if (mblnTaskbarFound && !mblnAdded) {
            AddIcon(TrayIcon(), mstrTip);
            mblnAdded = true;
        }
    } else if (mblnAdded) {
        DeleteIcon();
        mblnAdded = false;
    }
    mblnInTray = Show;
    PropertyChanged("InTray");
}

bool ZorTray::Enabled() const {
    return isEnabled();
}

void ZorTray::setEnabled(bool New_Enabled) {
    QWidget::setEnabled(New_Enabled);
    PropertyChanged("Enabled");
    SetIcon(New_Enabled ? mpicIcon : mpicDisabledIcon);
}

qulonglong ZorTray::TrayHwnd() const {
    return platform::trayHostWatch().trayHost();
}

QPixmap ZorTray::TrayIcon() const {
    return shownIcon();
}

const QPixmap& ZorTray::shownIcon() const {
    if (isEnabled() || mpicDisabledIcon.isNull())
        return mpicIcon;
    return mpicDisabledIcon;
}

void ZorTray::setTrayIcon(const QPixmap& New_TrayIcon) {
    mpicIcon = New_TrayIcon;
    if (isEnabled())
        SetIcon(mpicIcon);
    PropertyChanged("TrayIcon");
    update();
}

QString ZorTray::AboutText() {
    const QVersionNumber version = QVersionNumber::fromString(QCoreApplication::applicationVersion());
    return QStringLiteral("ZORTray v%1.%2.%3 - notification-area icon control of %4.\n%5")
        .arg(version.majorVersion())
        .arg(version.minorVersion())
        .arg(version.microVersion())
        .arg(App::Title, App::DocumentationUrl());
}

void ZorTray::AboutBox() {
    platform::dialogs().messageBox(this, AboutText(), platform::MsgIcon::Information,
                                   platform::MsgButtons::Ok, App::Title);
}

void ZorTray::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!mpicIcon.isNull())
        painter.drawPixmap(QRect(1, 1, width() - 2, height() - 2), mpicIcon);
    qDrawShadePanel(&painter, rect(), palette(), false, 1);
}

void ZorTray::AddIcon(const QPixmap& Icon, const QString& Tip) {
    mobjIcon = platform::makeNotifyIcon();
    connect(mobjIcon.get(), &platform::NotifyIcon::pressed, this, &ZorTray::TrayCallback);
    if (!ZorTrayMod::ShellTip(Tip).isEmpty())
        mstrTip = Tip;
    mobjIcon->add(Icon, ZorTrayMod::ShellTip(Tip));
    qCInfo(lcTray, "icon added to the tray host %llx", mlngLastTaskbar);
}

void ZorTray::DeleteIcon() {
    if (!mobjIcon)
        return;
    mobjIcon->remove();
    mobjIcon.reset();
}

void ZorTray::SetIcon(const QPixmap& Icon) {
    // A picture that cannot be shown in the tray is kept but never handed over.
    if (Icon.isNull() || !mblnAdded || !mobjIcon)
        return;
    mobjIcon->modifyIcon(Icon);
}

void ZorTray::CheckTaskApp_Timer() {
    const qulonglong host = TrayHwnd();
    if (host == 0) {
        mblnTaskbarFound = false;
        return;
    }
    mblnTaskbarFound = true;
    if (host == mlngLastTaskbar)
        return;
    mlngLastTaskbar = host;
    if (mblnInTray) {
        // A new host knows nothing of the icon: register it afresh. Unlike a nested event loop
        // between the two steps, nothing else can run here and delete this control meanwhile.
        setInTray(false);
        setInTray(true);
        qCInfo(lcTray, "tray host changed to %llx: icon added again", host);
    }
}

void ZorTray::TrayCallback(platform::NotifyIcon::Press Press) {
    if (!isEnabled())
        return;
    // The desktop reports presses only, so each becomes the press and release of its button.
    // Pointer moves and right double clicks are never reported on Linux, so MouseMove and a
    // MouseDblClick with Button 2 are not raised here.
    switch (Press) {
    case platform::NotifyIcon::Press::Left:
        emit MouseDown(1, mlngIconID);
        emit MouseUp(1, mlngIconID);
        break;
    case platform::NotifyIcon::Press::Right:
        emit MouseDown(2, mlngIconID);
        emit MouseUp(2, mlngIconID);
        break;
    case platform::NotifyIcon::Press::LeftDouble:
        // The second press of a double click: it arrives after the Left of the first press.
        emit MouseDblClick(1, mlngIconID);
        emit MouseUp(1, mlngIconID);
        break;
    case platform::NotifyIcon::Press::Middle:
        break;
    }
}

void ZorTray::PropertyChanged(const char* Name) {
    qCDebug(lcTray, "property %s changed", Name);
}
