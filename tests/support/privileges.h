#pragma once
// Tests run as root, for whom permission bits stop neither a read nor a
// write. While an AsUnprivilegedUser lives, file-system access checks of this
// thread use the user and group "nobody" (the file-system ids, not the
// effective ones), so a file's or folder's bits apply as they would for an
// ordinary user. Programs started meanwhile are not affected. Nothing changes
// when the tests do not run as root.
class AsUnprivilegedUser
{
public:
    AsUnprivilegedUser();
    ~AsUnprivilegedUser();
    AsUnprivilegedUser(const AsUnprivilegedUser &) = delete;
    AsUnprivilegedUser &operator=(const AsUnprivilegedUser &) = delete;

private:
    bool m_dropped = false;
};
