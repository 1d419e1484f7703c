#ifndef PARVESTA_SERIALPORT_H
#define PARVESTA_SERIALPORT_H

#include <QString>

// The port layer: a serial line of the operating system behind a few calls
// that move bytes and know nothing of frames. Its system calls live in one
// file per system (SerialPortUnix.cpp here).

constexpr int InvalidPort = -1;

// An open serial line: its descriptor, and the settings the line had before
// it was taken, which are put back when it is closed.
struct PortHandle
{
    int fd = InvalidPort;
    alignas(8) unsigned char savedSettings[128] = {};
};

// Why a port could not be opened.
enum class PortError
{
    None,
    Missing,      // nothing at that path, or the device went away
    Busy,         // another program holds the port
    NoPermission, // this user may not open it
    NotSerial,    // something other than a serial line, or a built-in port without a UART
    Console,      // the line the system writes its console to: not asked, never written to
    LineRefused,  // the line does not take raw 8N1 without flow control
    Failed        // the system refused for another reason
};

// Opens the device at path for reading and writing and takes it for this
// program alone; sets raw 8N1 at baudRate (a speed the line does not support
// leaves its speed as it was), no flow control, RTS on. With nonBlocking the
// descriptor never waits; otherwise a read returns what is waiting. False,
// holding nothing, when the device is missing, is not a terminal, another
// program holds it, the system uses it as its console, or the line does not
// take these settings; error (when given) then says which, and None after a
// successful open.
bool OpenPort(const char* path, bool nonBlocking, int baudRate, PortHandle* handle,
              PortError* error = nullptr);
// Puts the line's settings back and releases it; nothing happens when closed.
void ClosePort(PortHandle* handle);
// Bytes waiting in the system's input queue; 0 when it cannot tell.
int PortInputCount(const PortHandle& handle);
// Throws away everything the system holds of the line's input.
void PortFlushInput(const PortHandle& handle);
// One read of at most len bytes; the count read, or -1 when the read failed.
int PortRead(const PortHandle& handle, char* dst, int len);
// Writes len bytes; true when all of them were handed to the system.
bool PortWrite(const PortHandle& handle, const char* src, int len);

// Blocks the calling thread for ms milliseconds, without processing events.
bool PauseMs(int ms);

// Whether COM port number can be opened now and may be asked who is on it,
// and if not why: a plain exclusive open, closed again at once; the line is
// not reconfigured. A port the system uses as its console is never opened
// (Console), pinned or not; a built-in port found by the table whose driver
// found no UART behind it is NotSerial. A pinned port is otherwise only
// opened.
PortError CheckPort(int number);
// True when CheckPort finds nothing in the way. A port another program
// holds counts as absent.
bool PortExists(int number);

// Where COM numbers may be pinned to devices: COMn in this folder, usually a
// symbolic link. By default the "ports" folder beside the executable; an
// empty folder restores that default.
void SetPortsFolder(const QString& folder);
QString PortsFolder();
// The device path COM port number resolves to: PortsFolder()/COMn when that
// entry exists (even as a dangling link), else /dev/ttyS0-15 for COM1-16,
// /dev/ttyUSB0-15 for COM17-32, /dev/ttyACM0-15 for COM33-48; empty for any
// other number.
QString ComDevicePath(int number);

#endif
