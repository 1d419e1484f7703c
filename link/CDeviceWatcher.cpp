#include "CDeviceWatcher.h"

#include <QDir>
#include <QFileInfo>
#include <QSocketNotifier>

#include <libudev.h>

CDeviceWatcher::CDeviceWatcher(const QString& portsFolder, QObject* parent)
    : QObject(parent), ports(QDir::cleanPath(portsFolder))
{
    // The parent folder is watched too, so that a ports folder created later
    // (by a user or by the simulator) is picked up.
    const QString parentFolder = QFileInfo(ports).absolutePath();
    if (QFileInfo::exists(parentFolder))
        folders.addPath(parentFolder);
    if (QFileInfo(ports).isDir())
        folders.addPath(ports);
    connect(&folders, &QFileSystemWatcher::directoryChanged, this, &CDeviceWatcher::FolderChanged);
    burst.setSingleShot(true);
    burst.setInterval(200);
    connect(&burst, &QTimer::timeout, this, &CDeviceWatcher::DeviceChanged);
    StartUdev();
}

CDeviceWatcher::~CDeviceWatcher()
{
    delete notifier;
    if (monitor)
        udev_monitor_unref(monitor);
    if (context)
        udev_unref(context);
}

void CDeviceWatcher::StartUdev()
{
    context = udev_new();
    if (!context)
        return;
    monitor = udev_monitor_new_from_netlink(context, "udev");
    if (!monitor || udev_monitor_filter_add_match_subsystem_devtype(monitor, "tty", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor) < 0)
    {
        if (monitor)
            udev_monitor_unref(monitor);
        monitor = nullptr;
        return;
    }
    notifier = new QSocketNotifier(udev_monitor_get_fd(monitor), QSocketNotifier::Read);
    connect(notifier, &QSocketNotifier::activated, this, &CDeviceWatcher::UdevReadable);
}

void CDeviceWatcher::UdevReadable()
{
    // One report per device event; the event itself says nothing we need.
    if (udev_device* device = udev_monitor_receive_device(monitor))
    {
        udev_device_unref(device);
        Report();
    }
}

void CDeviceWatcher::Report()
{
    burst.start();
}

void CDeviceWatcher::Discard()
{
    burst.stop();
    if (!monitor)
        return;
    // The monitor's socket does not block: this ends when no event is left.
    while (udev_device* device = udev_monitor_receive_device(monitor))
        udev_device_unref(device);
}

void CDeviceWatcher::FolderChanged(const QString& path)
{
    const bool portsExists = QFileInfo(ports).isDir();
    const bool watched = folders.directories().contains(ports);
    if (portsExists && !watched)
        folders.addPath(ports);
    else if (!portsExists && watched)
        folders.removePath(ports);
    else if (path != ports)
        return; // another file beside the executable changed
    Report();
}
