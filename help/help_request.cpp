#include "help/help_request.h"

#include "help/help_address.h"
#include "help/help_topics.h"
#include "shell/language_tables.h"
#include "spectral/messages.h"

THelpDecision DecideHelpPage(bool online, int32_t topic, int32_t language,
                             const std::string& base) {
    THelpDecision d;
    if (!online && !HelpBaseIsOnThisMachine(base)) {
        d.Answer = THelpAnswer::OfflineNotice;
        d.Notice = kOfflineNotice;
    } else if (HasHelpPage(topic)) {
        d.Answer = THelpAnswer::ShowPage;
        d.PageAddress = HelpPageAddress(base, topic, language);
    } else {
        d.Answer = THelpAnswer::NoHelpNotice;
        d.Notice =
            RenderMessage(TMessage{TMessageId::NoHelp, {}, nullptr},
                          language == lgEnglish ? TMessageForm::English : TMessageForm::German);
    }
    return d;
}
