#include "Outbox.h"

namespace kestrel {

Outbox::Outbox(const LineTable& lines, IMessageBox& box)
    : m_flow(m_host, m_destinations, m_documents, lines, box),
      m_intake(m_flow, m_destinations, makePrintTagReader())
{
    m_host.setMessageBox(&box);
    m_flow.setApplianceWatch(&m_watch);
    // A submission activates the control itself between its destinations.
    m_watch.setBusy([this] { return m_flow.isRunning(); });
}

Outbox::~Outbox()
{
    // The control goes before the flow and the watch that listen to it.
    m_host.destroy();
}

} // namespace kestrel
