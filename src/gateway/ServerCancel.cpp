#include "gateway/ServerCancel.h"

#include <string>

#include "core/AppLog.h"
#include "core/CrashReport.h"
#include "gateway/CommsWorker.h"
#include "gateway/GatewayApi.h"
#include "gateway/Session.h"
#include "gateway/StatusQueryEngine.h"
#include "store/MessageStore.h"

namespace quillon {

bool ServerCancel::Run(int32_t id) {
    worker_.Notify(&MessageSink::PhaseBegan, WorkerPhase::Sending);
    if (!IsOnLine())
        return true;
    try {
        return RunGuarded(id);
    } catch (...) {
        LogLine("CRITICAL ERROR: Catch in DeleteSMSFromServer.");
        worker_.Sink().OutboxChanged(kRefreshWholeOutbox);
        return false;
    }
}

bool ServerCancel::RunGuarded(int32_t id) {
    MessageStore* store = worker_.Store();
    GatewayHandle gateway = worker_.Gateway();
    if (!store || !gateway)
        return false;
    TrackedLock<std::recursive_mutex> workerLock(worker_.Lock());
    SmsRecord row;
    if (!store->Outbox().GetSms(id, row))
        return true;
    bool result = true;
    int deleted = 0;
    for (const ApiIdentifier& identifier : SplitApiMsgID(row.ApiMsgID)) {
        std::string reply;
        int32_t error = -1;
        {
            auto guard = gateway->Guard();
            if (gateway->StopMsgAPIID(identifier.id, reply) >= 0) {
                int32_t code = 0;
                if (gateway->Get_smsERROR(code) >= 0)
                    error = code;
            }
        }
        if (error == 0) {
            store->Outbox().DeleteSms(id);
            LogLine("SMS delete from server ok: API_ID:%s", reply.c_str());
            ++deleted;
        } else {
            result = false;
        }
    }
    if (deleted > 0 && !worker_.StopRequested())
        worker_.Sink().OutboxChanged(kRefreshWholeOutbox);
    return result;
}

}  // namespace quillon
