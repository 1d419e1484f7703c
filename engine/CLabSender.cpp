#include "CLabSender.h"

#include "CArchive.h"
#include "EngineLog.h"

#include <QStringList>
#include <QThread>

CLabSender::CLabSender(QObject* parent) : QObject(parent) {}

CLabSender::~CLabSender()
{
    stopping = true;
    if (thread)
    {
        thread->wait();
        delete thread;
    }
}

bool CLabSender::Pass(const QString& localPath, const QString& address, QString* why,
                      const std::atomic<bool>* stop)
{
    why->clear();
    if (!CArchive::IsServerAddress(address))
    {
        CArchive::Server parsed;
        (void)CArchive::ParseServer(address, &parsed, why);
        return false;
    }
    // The archive on this PC keeps which transfers the server has.
    CArchive archive(localPath);
    QStringList pending;
    if (!archive.Pending(&pending))
    {
        *why = archive.Error();
        return false;
    }
    if (pending.isEmpty())
        return true;
    CArchive lab(address);
    for (const QString& id : pending)
    {
        // What is not sent now waits for the next pass.
        if (stop && *stop)
            return true;
        CArchive::Transfer transfer;
        if (!archive.Load(id, &transfer))
        {
            *why = archive.Error();
            return false;
        }
        if (!lab.Send(transfer))
        {
            *why = lab.Error();
            qCDebug(engineLog).noquote() << "not sent to the lab archive:" << *why;
            return false;
        }
        // Marked only once the server has it: a mark lost here sends it
        // again, and the server keeps it once.
        if (!archive.MarkSent(id))
        {
            *why = archive.Error();
            return false;
        }
        qCDebug(engineLog).noquote() << "sent to the lab archive:" << id;
    }
    return true;
}

void CLabSender::Request(const QString& localPath, const QString& address)
{
    local = localPath;
    server = address;
    if (thread)
        again = true;
    else
        Begin();
}

void CLabSender::Begin()
{
    again = false;
    failure.clear();
    thread = QThread::create(
        [this, from = local, to = server] { (void)Pass(from, to, &failure, &stopping); });
    connect(thread, &QThread::finished, this, &CLabSender::Over);
    thread->start();
}

void CLabSender::Over()
{
    thread->wait();
    delete thread;
    thread = nullptr;
    const QString why = failure;
    if (again)
        Begin();
    emit Ended(why);
}
