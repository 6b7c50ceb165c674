#pragma once
// Sets (or, given nothing, unsets) an environment variable for the life of
// the object; set() changes it meanwhile. The value before comes back at the
// end.
#include <QByteArray>
#include <QtGlobal>

#include <optional>

namespace r56::test {

class EnvVar
{
public:
    EnvVar(const char *name, std::optional<QByteArray> value) : m_name(name)
    {
        if (qEnvironmentVariableIsSet(name))
            m_old = qgetenv(name);
        set(value);
    }
    ~EnvVar() { set(m_old); }
    EnvVar(const EnvVar &) = delete;
    EnvVar &operator=(const EnvVar &) = delete;

    void set(const std::optional<QByteArray> &value)
    {
        if (value)
            qputenv(m_name, *value);
        else
            qunsetenv(m_name);
    }

private:
    const char *m_name;
    std::optional<QByteArray> m_old;
};

} // namespace r56::test
