// The application's idle-time processing.
#include "U_Idle.h"

#include "dialogs.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>

#include <utility>

namespace
{
// One per application: a zero-interval timer that runs the handler while the queue is empty,
// stopped when the handler is done and restarted by the next event of any kind, as a message
// loop calls its idle step again after each message.
class TIdleDispatcher : public QObject
{
public:
    explicit TIdleDispatcher(QObject* parent) : QObject(parent)
    {
        FTimer.setInterval(0);
        connect(&FTimer, &QTimer::timeout, this, &TIdleDispatcher::RunHandler);
        QCoreApplication::instance()->installEventFilter(this);
    }

    void SetHandler(const QObject* owner, TIdleHandler handler)
    {
        FOwner = owner;
        FHandler = std::move(handler);
        if (FHandler)
            FTimer.start();
        else
            FTimer.stop();
    }

    const QObject* Owner() const { return FOwner; }

protected:
    bool eventFilter(QObject* watched, QEvent*) override
    {
        if (FHandler && !FTimer.isActive() && watched != &FTimer)
            FTimer.start();
        return false;
    }

private:
    void RunHandler()
    {
        // A copy: the handler may install another one while it runs.
        const TIdleHandler handler = FHandler;
        bool done = true;
        if (handler)
            RunCommand([&] { handler(done); });
        if (done)
            FTimer.stop();
    }

    QTimer FTimer;
    const QObject* FOwner = nullptr;
    TIdleHandler FHandler;
};

TIdleDispatcher* Dispatcher(bool create)
{
    static QPointer<TIdleDispatcher> dispatcher;
    if (!dispatcher && create && QCoreApplication::instance())
        dispatcher = new TIdleDispatcher(QCoreApplication::instance());
    return dispatcher;
}
} // namespace

void SetApplicationIdleHandler(const QObject* owner, TIdleHandler handler)
{
    if (TIdleDispatcher* dispatcher = Dispatcher(true))
        dispatcher->SetHandler(owner, std::move(handler));
}

void ClearApplicationIdleHandler(const QObject* owner)
{
    TIdleDispatcher* dispatcher = Dispatcher(false);
    if (dispatcher && dispatcher->Owner() == owner)
        dispatcher->SetHandler(nullptr, nullptr);
}

const QObject* ApplicationIdleOwner()
{
    const TIdleDispatcher* dispatcher = Dispatcher(false);
    return dispatcher ? dispatcher->Owner() : nullptr;
}
