#include "UpdateState.h"

namespace zelvane {

UpdateState UpdateState::upToDate(const QString& version)
{
    UpdateState state(Kind::upToDate);
    state.m_text = version;
    return state;
}

UpdateState UpdateState::updateAvailable(const ReleaseInfo& release)
{
    UpdateState state(Kind::updateAvailable);
    state.m_release = release;
    return state;
}

UpdateState UpdateState::downloading(double progress)
{
    UpdateState state(Kind::downloading);
    state.m_progress = progress;
    return state;
}

UpdateState UpdateState::failed(const QString& message)
{
    UpdateState state(Kind::failed);
    state.m_text = message;
    return state;
}

}  // namespace zelvane
