#include "support/privileges.h"

#include <sys/fsuid.h>
#include <unistd.h>

namespace {
const unsigned nobody = 65534;
}

AsUnprivilegedUser::AsUnprivilegedUser()
{
    if (geteuid() == 0) {
        setfsgid(nobody);
        setfsuid(nobody);
        m_dropped = true;
    }
}

AsUnprivilegedUser::~AsUnprivilegedUser()
{
    if (m_dropped) {
        setfsuid(0);
        setfsgid(0);
    }
}
