#include "FaultPlan.h"

#include <array>
#include <utility>

namespace kestrel::simulator {
namespace {

using namespace Qt::StringLiterals;

const std::array faultTable{
    std::pair{"refuse-login"_L1, Fault::RefuseLogin},
    std::pair{"no-greeting"_L1, Fault::NoGreeting},
    std::pair{"greet-after-130"_L1, Fault::GreetAfter130},
    std::pair{"multiline-greeting"_L1, Fault::MultilineGreeting},
    std::pair{"merge-replies"_L1, Fault::MergeReplies},
    std::pair{"byte-by-byte"_L1, Fault::ByteByByte},
    std::pair{"drop-upload"_L1, Fault::DropUpload},
    std::pair{"refuse-stor"_L1, Fault::RefuseStor},
    std::pair{"refuse-jsubm"_L1, Fault::RefuseJsubm},
    std::pair{"refuse-later-jsubm"_L1, Fault::RefuseLaterJsubm},
    std::pair{"no-150"_L1, Fault::No150},
    std::pair{"cut-data"_L1, Fault::CutData},
    std::pair{"unasked-227"_L1, Fault::Unasked227},
    std::pair{"endless-greeting"_L1, Fault::EndlessGreeting},
    std::pair{"pasv-elsewhere"_L1, Fault::PasvElsewhere},
    std::pair{"slow-greeting"_L1, Fault::SlowGreeting},
    std::pair{"cut-after-jsubm"_L1, Fault::CutAfterJsubm},
    std::pair{"silent-after-jsubm"_L1, Fault::SilentAfterJsubm},
    std::pair{"lose-jsubm"_L1, Fault::LoseJsubm},
    std::pair{"close-after-jsubm"_L1, Fault::CloseAfterJsubm},
    std::pair{"drop-later-jsubm"_L1, Fault::DropLaterJsubm},
    std::pair{"keep-1000"_L1, Fault::Keep1000},
    std::pair{"store-compressed"_L1, Fault::StoreCompressed},
    std::pair{"drop-tail"_L1, Fault::DropTail},
    std::pair{"size-unknown"_L1, Fault::SizeUnknown},
};

const std::array httpFaultTable{
    std::pair{"no-closing-tag"_L1, HttpFault::NoClosingTag},
    std::pair{"upper-closing-tag"_L1, HttpFault::UpperClosingTag},
    std::pair{"no-answer"_L1, HttpFault::NoAnswer},
    std::pair{"http-refuse"_L1, HttpFault::HttpRefuse},
};

constexpr QLatin1StringView CutAfterCommand = "cut-after-command-"_L1;

template <typename Table> QStringList namesOf(const Table& table)
{
    QStringList names;
    for (const auto& entry : table)
        names << entry.first;
    return names;
}

} // namespace

bool FaultPlan::add(const QString& name)
{
    if (name.startsWith(CutAfterCommand)) {
        bool number = false;
        const int n = name.mid(CutAfterCommand.size()).toInt(&number);
        if (!number || n < 1)
            return false;
        m_cutAfterCommand = n;
        return true;
    }
    for (const auto& [text, fault] : faultTable) {
        if (name == text) {
            m_faults |= bit(fault);
            return true;
        }
    }
    return false;
}

bool FaultPlan::addHttp(const QString& name)
{
    for (const auto& [text, fault] : httpFaultTable) {
        if (name == text) {
            m_httpFaults |= bit(fault);
            return true;
        }
    }
    return false;
}

bool FaultPlan::claimUploadDrop()
{
    if (!has(Fault::DropUpload) || m_uploadDropped)
        return false;
    m_uploadDropped = true;
    return true;
}

bool FaultPlan::claimDataCut()
{
    if (!has(Fault::CutData) || m_dataCut)
        return false;
    m_dataCut = true;
    return true;
}

QStringList FaultPlan::faultNames()
{
    return namesOf(faultTable) << CutAfterCommand + u"N"_s;
}
QStringList FaultPlan::httpFaultNames()
{
    return namesOf(httpFaultTable);
}

} // namespace kestrel::simulator
