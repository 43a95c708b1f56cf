#include "os_menu.h"

#include "os_input.h"
#include "os_leak_check.h"
#include "os_text.h"
#include "os_window_sdl.h"

#include <backends/imgui_impl_opengl2.h>
#include <backends/imgui_impl_sdl.h>
#include <imgui.h>
#include <imgui_internal.h> // ClosePopupToLevel: Escape closes the menus, as the desktop's did

#include <SDL_opengl.h>
#include <climits>
#include <map>

namespace {

constexpr float kFontSize = 15.0f;

struct Bar {
    std::vector<OS_MENU_ITEM> items;
    bool shown = true;
    bool fonts_stale = true;  // the texts changed: the glyphs to have changed too
    bool close_menus = false; // Escape was pressed over an open pop-up
    int height = 0;
    std::map<std::string, ImVec2> places; // where each item was drawn last, by its text
};

// One bar, on the main window: the desktop game never had two.
OS_WINDOW bar_window = nullptr;
Bar bar;
ImGuiContext *context = nullptr;
ImVector<ImWchar> glyph_ranges;

void collect_text(const std::vector<OS_MENU_ITEM> &items, ImFontGlyphRangesBuilder *builder) {
    for (const OS_MENU_ITEM &item : items) {
        builder->AddText(item.text.c_str());
        collect_text(item.items, builder);
    }
}

// Only the glyphs the texts use: the whole of Japanese would take a
// second to rasterise at every start.
void build_fonts() {
    ImGuiIO &io = ImGui::GetIO();
    ImFontGlyphRangesBuilder builder;
    builder.AddRanges(io.Fonts->GetGlyphRangesDefault());
    collect_text(bar.items, &builder);
    glyph_ranges.clear();
    builder.BuildRanges(&glyph_ranges);
    io.Fonts->Clear();
    ImFontConfig config;
    for (int i = 0; os_text_fonts[i]; ++i) {
        const char *file = os_text_fonts[i];
        if (SDL_RWops *probe = SDL_RWFromFile(file, "rb")) {
            SDL_RWclose(probe);
            io.Fonts->AddFontFromFileTTF(file, kFontSize, &config, glyph_ranges.Data);
            config.MergeMode = true; // later fonts fill what the first lacks
        }
    }
    if (!config.MergeMode) {
        io.Fonts->AddFontDefault();
    }
    io.Fonts->Build();
    ImGui_ImplOpenGL2_DestroyFontsTexture();
    ImGui_ImplOpenGL2_CreateFontsTexture();
    bar.fonts_stale = false;
}

bool start_context(OS_WINDOW window) {
    SDL_Window *sdl = os_window_sdl(window);
    SDL_GLContext gl = SDL_GL_GetCurrentContext();
    if (!sdl || !gl) {
        return false;
    }
    OS_LEAK_CHECK_PAUSE pause;
    context = ImGui::CreateContext();
    ImGui::GetIO().IniFilename = nullptr; // nothing of the bar is kept between runs
    ImGui::StyleColorsClassic();
    ImGui_ImplSDL2_InitForOpenGL(sdl, gl);
    ImGui_ImplOpenGL2_Init();
    return true;
}

void stop_context() {
    if (!context) {
        return;
    }
    ImGui_ImplOpenGL2_Shutdown();
    ImGui_ImplSDL2_Shutdown();
    ImGui::DestroyContext(context);
    context = nullptr;
}

void remember_place(const std::string &text) {
    ImVec2 low = ImGui::GetItemRectMin(), high = ImGui::GetItemRectMax();
    bar.places[text] = ImVec2((low.x + high.x) / 2, (low.y + high.y) / 2);
}

void draw_items(OS_WINDOW window, const std::vector<OS_MENU_ITEM> &items) {
    for (const OS_MENU_ITEM &item : items) {
        std::string label, accelerator;
        os_menu_split_text(item.text, &label, &accelerator);
        bool enabled = !(item.flags & OS_MENU_GREYED);
        if (item.flags & OS_MENU_SEPARATOR) {
            ImGui::Separator();
        } else if (item.flags & OS_MENU_POPUP) {
            bool open = ImGui::BeginMenu(label.c_str(), enabled);
            remember_place(item.text);
            if (open) {
                draw_items(window, item.items);
                ImGui::EndMenu();
            }
        } else {
            bool chosen = ImGui::MenuItem(label.c_str(), accelerator.c_str(),
                                          (item.flags & OS_MENU_CHECKED) != 0, enabled);
            remember_place(item.text);
            if (chosen) {
                os_post_message(window, WM_COMMAND, item.id, 0);
            }
        }
    }
}

} // namespace

void os_menu_split_text(const std::string &text, std::string *label, std::string *accelerator) {
    label->clear();
    accelerator->clear();
    size_t tab = text.find('\t');
    for (size_t i = 0; i < std::min(tab, text.size()); ++i) {
        // "&&" stands for an ampersand; a single one marks the mnemonic.
        if (text[i] == '&' && i + 1 < text.size() && text[i + 1] != '&') {
            continue;
        }
        if (text[i] == '&') {
            ++i;
        }
        *label += text[i];
    }
    if (tab != std::string::npos) {
        *accelerator = text.substr(tab + 1);
    }
}

void os_window_set_menu(OS_WINDOW window, const std::vector<OS_MENU_ITEM> &items) {
    if (!os_window_exists(window)) {
        return;
    }
    if (items.empty()) {
        if (window == bar_window) {
            os_menu_forget(window);
        }
        return;
    }
    if (bar_window != window) {
        os_menu_forget(bar_window);
        if (!start_context(window)) {
            return;
        }
        bar_window = window;
    }
    bar.items = items;
    bar.fonts_stale = true;
    bar.places.clear();
}

std::vector<OS_MENU_ITEM> *os_window_menu(OS_WINDOW window) {
    return window && window == bar_window ? &bar.items : nullptr;
}

void os_window_show_menu(OS_WINDOW window, int shown) {
    if (window && window == bar_window) {
        bar.shown = shown;
    }
}

int os_window_menu_height(OS_WINDOW window) {
    return window && window == bar_window && bar.shown ? bar.height : 0;
}

bool os_window_menu_item_place(OS_WINDOW window, const std::string &text, int *x, int *y) {
    auto found = bar.places.find(text);
    if (window != bar_window || found == bar.places.end()) {
        return false;
    }
    *x = static_cast<int>(found->second.x);
    *y = static_cast<int>(found->second.y);
    return true;
}

// ---- inside the os layer -------------------------------------------------------------

bool os_menu_process_event(const SDL_Event &event) {
    if (!context || !bar.shown) {
        return false;
    }
    // Read before the event: the Escape or the click that closes a menu
    // still finds it open.
    const bool menu_open = ImGui::IsPopupOpen("", ImGuiPopupFlags_AnyPopupId);
    ImGui_ImplSDL2_ProcessEvent(&event);
    int y;
    switch (event.type) {
    case SDL_KEYDOWN:
        // An open menu has the keyboard, as the desktop's menus had; its
        // Escape closes them.
        if (menu_open) {
            os_input_hold_back_key(event.key.keysym.scancode);
            bar.close_menus = bar.close_menus || event.key.keysym.sym == SDLK_ESCAPE;
        }
        return menu_open;
    case SDL_MOUSEMOTION:
        y = event.motion.y;
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        y = event.button.y;
        break;
    case SDL_MOUSEWHEEL:
        y = INT_MAX; // no place of its own: only an open pop-up keeps it
        break;
    default:
        return false;
    }
    // The bar keeps the clicks on it and on its open pop-ups, and the click
    // that closes them; a button it keeps is the game's again once let go.
    const bool kept = y < bar.height || menu_open || ImGui::GetIO().WantCaptureMouse;
    if (kept && event.type == SDL_MOUSEBUTTONDOWN) {
        os_input_hold_back_button(event.button.button);
    }
    return kept;
}

void os_menu_draw(OS_WINDOW window) {
    SDL_Window *sdl = os_window_sdl(window);
    if (window != bar_window || !context || !bar.shown || !sdl ||
        (SDL_GetWindowFlags(sdl) & SDL_WINDOW_FULLSCREEN)) {
        return;
    }
    OS_LEAK_CHECK_PAUSE pause; // the driver keeps what it builds for the first draw
    if (bar.fonts_stale) {
        build_fonts();
    }
    ImGui_ImplOpenGL2_NewFrame();
    ImGui_ImplSDL2_NewFrame();
    ImGui::NewFrame();
    if (bar.close_menus) {
        ImGui::ClosePopupToLevel(0, true);
        bar.close_menus = false;
    }
    bar.places.clear();
    if (ImGui::BeginMainMenuBar()) {
        bar.height = static_cast<int>(ImGui::GetWindowSize().y);
        draw_items(window, bar.items);
        ImGui::EndMainMenuBar();
    }
    ImGui::Render();
    ImGui_ImplOpenGL2_RenderDrawData(ImGui::GetDrawData());
}

void os_menu_forget(OS_WINDOW window) {
    if (!window || window != bar_window) {
        return;
    }
    stop_context();
    bar_window = nullptr;
    bar = Bar{};
}

int os_dialog_run(OS_WINDOW window, const std::string &caption,
                  const std::vector<std::string> &lines) {
    SDL_Window *sdl = os_window_sdl(window);
    if (!sdl || window != bar_window || !context) {
        return 0;
    }
    for (const std::string &line : lines) {
        bar.items.push_back({line, 0, OS_MENU_GREYED, {}}); // their glyphs join the font
    }
    build_fonts();
    bar.items.resize(bar.items.size() - lines.size());
    bar.fonts_stale = true;
    bool open = true;
    while (open) {
        SDL_Event event;
        while (SDL_PollEvent(&event)) {
            ImGui_ImplSDL2_ProcessEvent(&event);
            bool closing = event.type == SDL_QUIT || (event.type == SDL_WINDOWEVENT &&
                                                      event.window.event == SDL_WINDOWEVENT_CLOSE);
            bool answered = event.type == SDL_KEYDOWN && (event.key.keysym.sym == SDLK_RETURN ||
                                                          event.key.keysym.sym == SDLK_ESCAPE);
            open = open && !closing && !answered;
            if (closing) {
                os_post_message(window, WM_CLOSE, 0, 0); // the game closes once the box is gone
            }
        }
        OS_LEAK_CHECK_PAUSE pause;
        ImGui_ImplOpenGL2_NewFrame();
        ImGui_ImplSDL2_NewFrame();
        ImGui::NewFrame();
        ImGuiIO &io = ImGui::GetIO();
        ImGui::SetNextWindowPos(ImVec2(io.DisplaySize.x / 2, io.DisplaySize.y / 2),
                                ImGuiCond_Always, ImVec2(0.5f, 0.5f));
        ImGui::Begin(caption.c_str(), nullptr,
                     ImGuiWindowFlags_AlwaysAutoResize | ImGuiWindowFlags_NoCollapse |
                         ImGuiWindowFlags_NoSavedSettings);
        for (const std::string &line : lines) {
            ImGui::TextUnformatted(line.c_str());
        }
        ImGui::Separator();
        if (ImGui::Button("OK")) {
            open = false;
        }
        ImGui::End();
        ImGui::Render();
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT);
        ImGui_ImplOpenGL2_RenderDrawData(ImGui::GetDrawData());
        os_window_present(sdl);
        SDL_Delay(10);
    }
    return 1;
}
