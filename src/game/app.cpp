#include "app.h"

#include "xv.h"

namespace {

AppState state;

} // namespace

AppState *app_state() {
    return &state;
}

const char *app_language() {
    const XV_DSP_LANGUAGES *languages = state.languages;
    const XV_DSP_LANGUAGE *language =
        languages ? languages->languages[languages->current] : nullptr;
    return language && language->abbreviation && *language->abbreviation ? language->abbreviation
                                                                         : "EN";
}
