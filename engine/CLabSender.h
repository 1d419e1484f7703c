#ifndef PARVESTA_CLABSENDER_H
#define PARVESTA_CLABSENDER_H

#include <QObject>
#include <QString>

#include <atomic>

class QThread;

// Sends what this PC's archive keeps to the lab's server. The server may
// take seconds to answer, or never answer at all, so a front end that must
// not wait has the passes run on a thread of their own, each with its own
// connections. One pass at a time: a request while one runs makes one more
// pass after it, so that a transfer archived meanwhile is not left behind.
class CLabSender : public QObject
{
    Q_OBJECT

public:
    explicit CLabSender(QObject* parent = nullptr);
    // Starts no further pass, and waits for the one under way: it stops
    // before its next transfer, and a server that does not answer is given
    // up after the archive's connect time-out.
    ~CLabSender() override;
    CLabSender(const CLabSender&) = delete;
    CLabSender& operator=(const CLabSender&) = delete;

    // One pass, on the caller's thread: every transfer the archive at
    // localPath keeps and has not marked sent goes to the server at
    // address, oldest first, each in one transaction, and is marked sent
    // once the server has it. False, with *why saying why, when the address
    // is no server's, the server cannot be reached or refuses, or the
    // archive cannot be read: what was not sent stays pending. A stop that
    // turns true ends the pass before its next transfer.
    static bool Pass(const QString& localPath, const QString& address, QString* why,
                     const std::atomic<bool>* stop = nullptr);

    // Runs Pass on the sending thread; Ended follows it.
    void Request(const QString& localPath, const QString& address);

signals:
    // A pass on the sending thread ended: why not everything is on the
    // server, or empty when it is.
    void Ended(const QString& failure);

private:
    void Begin();
    void Over();

    QThread* thread = nullptr; // the pass under way
    bool again = false;        // a request came while it ran
    QString local;             // where the next pass reads and sends
    QString server;
    QString failure; // written by the pass, read once its thread is over
    std::atomic<bool> stopping{false};
};

#endif
