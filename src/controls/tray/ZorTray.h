#pragma once

#include "platform/TrayHost.h"
#include "util/PropertyBag.h"

#include <QPixmap>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <memory>

// Owns the program's icon in the notification area: picture, tip, a disabled picture, and the
// mouse gestures on it. Puts the icon back by itself when the tray host is replaced.
// The widget is never shown; the host keeps it as a child for its lifetime.
class ZorTray : public QWidget {
    Q_OBJECT
public:
    explicit ZorTray(QWidget* parent = nullptr);
    ~ZorTray() override;

    void ReadProperties(const PropertyBag& bag);
    void WriteProperties(PropertyBag& bag) const;

    QPixmap DisabledIcon() const;
    void setDisabledIcon(const QPixmap& Icon);
    QString TrayTip() const;
    void setTrayTip(const QString& Tip);
    bool InTray() const;
    void setInTray(bool Show);
    bool Enabled() const;
    void setEnabled(bool New_Enabled);
    // The tray host window; 0 when the desktop has none.
    qulonglong TrayHwnd() const;
    QPixmap TrayIcon() const;
    // The cache key of what TrayIcon() returns, without a copy of the picture: the key poll
    // compares it twenty times a second.
    qint64 TrayIconKey() const { return shownIcon().cacheKey(); }
    void setTrayIcon(const QPixmap& New_TrayIcon);

    // Shown beside the icon while it is in the tray; false when there is no icon to show it by.
    bool ShowMessage(const QString& Title, const QString& Text);

    void AboutBox();
    // The text AboutBox shows.
    static QString AboutText();
    // The picture a new instance starts with.
    static QPixmap DefaultIcon();

signals:
    void MouseMove(std::int32_t Id);
    void MouseDown(std::int16_t Button, std::int32_t Id);
    void MouseUp(std::int16_t Button, std::int32_t Id);
    void MouseDblClick(std::int16_t Button, std::int32_t Id);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const QPixmap& shownIcon() const;
    void AddIcon(const QPixmap& Icon, const QString& Tip);
    void DeleteIcon();
    void SetIcon(const QPixmap& Icon);
    void CheckTaskApp_Timer();
    void TrayCallback(platform::NotifyIcon::Press Press);
    void PropertyChanged(const char* Name);

    QTimer mtmrCheckTaskApp;
    std::unique_ptr<platform::NotifyIcon> mobjIcon;
    QPixmap mpicIcon;
    QPixmap mpicDisabledIcon;
    QString mstrTip;
    bool mblnInTray = false;
    bool mblnAdded = false;
    bool mblnTaskbarFound = false;
    std::int32_t mlngIconID = 0;
    qulonglong mlngLastTaskbar = 0;
};
