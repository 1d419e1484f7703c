#ifndef PARVESTA_CDEVICEWATCHER_H
#define PARVESTA_CDEVICEWATCHER_H

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>

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

    bool WatchesUdev() const { return monitor != nullptr; }

signals:
    void DeviceChanged();

private:
    void StartUdev();
    void UdevReadable();
    void FolderChanged(const QString& path);

    QString ports;
    QFileSystemWatcher folders;
    udev* context = nullptr;
    udev_monitor* monitor = nullptr;
    QSocketNotifier* notifier = nullptr;
};

#endif
