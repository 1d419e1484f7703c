#ifndef PARVESTA_CDEVICEWATCHER_H
#define PARVESTA_CDEVICEWATCHER_H

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTimer>

class QSocketNotifier;
struct udev;
struct udev_monitor;

// Reports every serial device that appears or disappears: the kernel's tty
// devices through udev, and the port links in the ports folder beside the
// executable. Without udev (a container) only the ports folder is watched.
class CDeviceWatcher : public QObject
{
    Q_OBJECT

public:
    explicit CDeviceWatcher(const QString& portsFolder, QObject* parent = nullptr);
    ~CDeviceWatcher() override;

    // Forgets the device events that are waiting: one search answers them all.
    void Discard();

signals:
    // At most one report for a burst of changes.
    void DeviceChanged();

private:
    void StartUdev();
    void UdevReadable();
    void FolderChanged(const QString& path);
    void Report();

    QString ports;
    QFileSystemWatcher folders;
    udev* context = nullptr;
    udev_monitor* monitor = nullptr;
    QSocketNotifier* notifier = nullptr;
    QTimer burst; // a plug-in brings several events; they make one report
};

#endif
