#include "platform/exception.h"

#if defined(__unix__)
#include <dlfcn.h>
#endif

#include <QFileInfo>

Exception::Exception(QString message)
    : m_message(std::move(message)), m_what(m_message.toStdString())
{
    // The caller of this constructor is the code that raised the error.
    void *raisedAt = __builtin_return_address(0);
#if defined(__unix__)
    Dl_info info{};
    if (dladdr(raisedAt, &info) != 0 && info.dli_fbase != nullptr) {
        m_address = reinterpret_cast<quintptr>(raisedAt) - reinterpret_cast<quintptr>(info.dli_fbase);
        if (info.dli_fname != nullptr)
            m_module = QFileInfo(QString::fromLocal8Bit(info.dli_fname)).fileName();
        return;
    }
#endif
    m_address = reinterpret_cast<quintptr>(raisedAt);
}
