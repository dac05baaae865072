// The viewer control's network side: its listener and the re-emission of the listener's events
// as the control's own signals. Kept apart from the drawing code of viewercontrol.cpp.
#include "toolkit/viewercontrol.h"

namespace ravlen::toolkit {

Listener &ViewerControl::listener() {
    if (!m_listener) {
        m_listener = std::make_unique<Listener>();
        Listener *l = m_listener.get();
        connect(l, &Listener::associationRequested, this, [this](IncomingAssociation *request) {
            emit AssociationRequest(request->callerAddress, request->calledAE, request->callingAE,
                                    0, request->accept, request->contexts);
            emit AssociationRequest2(*request, request->accept);
        });
        connect(l, &Listener::imageReceived, this, [this](ReceivedImage *received) {
            emit ImageReceived(received->image, received->addToViewer, 0, 0);
            if (received->addToViewer) {
                images().add(received->image);
                refresh();
            }
        });
        connect(l, &Listener::imageReceivedAsync, this, [this](ReceivedImage *received) {
            emit ImageReceivedAsync(*received, received->image, 0);
        });
        connect(l, &Listener::toolkitMessage, this, &ViewerControl::ToolkitMessage);
    }
    return *m_listener;
}

bool ViewerControl::startListening(int port) {
    return listener().start(port);
}

void ViewerControl::stopListening() {
    if (m_listener) {
        m_listener->stop();
    }
}

bool ViewerControl::listening() const {
    return m_listener && m_listener->isListening();
}

void ViewerControl::setAsyncReceive(bool on) {
    listener().setAsyncReceive(on);
}

bool ViewerControl::asyncReceive() const {
    return m_listener && m_listener->asyncReceive();
}

} // namespace ravlen::toolkit
