// The program's resources: the archive's name (string 101) and the window's
// menu in the seven languages of the language file, in its order.
#include "resources.h"

#include "os_resource.h"
#include "xv_dsp.h"
#include "xv_snd.h"

namespace {

// Everything a language says in the menu, in the order the tree uses it.
struct MenuTexts {
    int language; // primary | sub << 10
    const char *game, *new_game, *language_menu, *languages, *back, *exit;
    const char *display, *low_res, *high_res, *fullscreen, *colours, *default_size, *resolution,
        *modes;
    const char *sound, *music, *effects, *quality, *low, *medium, *high;
    const char *help, *topics, *about;
};

const MenuTexts kTexts[] = {
    {9 | 1 << 10,
     "&Game",
     "&New Game",
     "&Language",
     "Available Languages",
     "&Back to Game",
     "E&xit\tAlt+F4",
     "&Display",
     "&Low-res Fullscreen",
     "&High-res Fullscreen",
     "&Fullscreen\tF4",
     "64K &Colors (Faster)",
     "Default &Size",
     "Change &Resolution",
     "Available Modes",
     "&Sound",
     "Digital &Music\tF2",
     "Sound &Effects\tF3",
     "Music &Quality",
     "&Low (faster)",
     "&Medium",
     "&High (slower)",
     "&Help",
     "&Help Topics\tF1",
     "&About"},
    {12 | 1 << 10,
     "&Jeu",
     "&Nouvelle partie",
     "&Langue",
     "Langues disponibles",
     "&Retour au jeu",
     "&Quitter\tAlt+F4",
     "&Affichage",
     "Plein \u00e9cran &basse r\u00e9solution",
     "Plein \u00e9cran &haute r\u00e9solution",
     "&Plein \u00e9cran\tF4",
     "64K &couleurs (plus rapide)",
     "&Taille par d\u00e9faut",
     "Changer la &r\u00e9solution",
     "Modes disponibles",
     "&Son",
     "&Musique num\u00e9rique\tF2",
     "&Effets sonores\tF3",
     "&Qualit\u00e9 de la musique",
     "&Basse (plus rapide)",
     "&Moyenne",
     "&Haute (plus lente)",
     "&Aide",
     "&Rubriques d'aide\tF1",
     "\u00c0 &propos"},
    {10 | 1 << 10,
     "&Juego",
     "&Nueva partida",
     "&Idioma",
     "Idiomas disponibles",
     "&Volver al juego",
     "&Salir\tAlt+F4",
     "&Pantalla",
     "Pantalla completa de &baja resoluci\u00f3n",
     "Pantalla completa de &alta resoluci\u00f3n",
     "Pantalla &completa\tF4",
     "64K &colores (m\u00e1s r\u00e1pido)",
     "&Tama\u00f1o predeterminado",
     "Cambiar &resoluci\u00f3n",
     "Modos disponibles",
     "&Sonido",
     "&M\u00fasica digital\tF2",
     "&Efectos de sonido\tF3",
     "&Calidad de la m\u00fasica",
     "&Baja (m\u00e1s r\u00e1pida)",
     "&Media",
     "&Alta (m\u00e1s lenta)",
     "Ay&uda",
     "&Temas de ayuda\tF1",
     "&Acerca de"},
    {7 | 1 << 10,
     "&Spiel",
     "&Neues Spiel",
     "&Sprache",
     "Verf\u00fcgbare Sprachen",
     "&Zur\u00fcck zum Spiel",
     "&Beenden\tAlt+F4",
     "&Anzeige",
     "Vollbild &niedrige Aufl\u00f6sung",
     "Vollbild &hohe Aufl\u00f6sung",
     "&Vollbild\tF4",
     "64K &Farben (schneller)",
     "&Standardgr\u00f6\u00dfe",
     "&Aufl\u00f6sung \u00e4ndern",
     "Verf\u00fcgbare Modi",
     "&Ton",
     "Digitale &Musik\tF2",
     "&Soundeffekte\tF3",
     "Musik&qualit\u00e4t",
     "&Niedrig (schneller)",
     "&Mittel",
     "&Hoch (langsamer)",
     "&Hilfe",
     "&Hilfethemen\tF1",
     "\u00dc&ber"},
    {16 | 1 << 10,
     "&Gioco",
     "&Nuova partita",
     "&Lingua",
     "Lingue disponibili",
     "&Torna al gioco",
     "&Esci\tAlt+F4",
     "&Schermo",
     "Schermo intero a &bassa risoluzione",
     "Schermo intero ad &alta risoluzione",
     "Schermo &intero\tF4",
     "64K &colori (pi\u00f9 veloce)",
     "&Dimensione predefinita",
     "Cambia &risoluzione",
     "Modalit\u00e0 disponibili",
     "&Audio",
     "&Musica digitale\tF2",
     "&Effetti sonori\tF3",
     "&Qualit\u00e0 della musica",
     "&Bassa (pi\u00f9 veloce)",
     "&Media",
     "&Alta (pi\u00f9 lenta)",
     "&Guida",
     "&Argomenti della guida\tF1",
     "&Informazioni su"},
    {22 | 2 << 10,
     "&Jogo",
     "&Novo jogo",
     "&Idioma",
     "Idiomas dispon\u00edveis",
     "&Voltar ao jogo",
     "&Sair\tAlt+F4",
     "&Ecr\u00e3",
     "Ecr\u00e3 inteiro de &baixa resolu\u00e7\u00e3o",
     "Ecr\u00e3 inteiro de &alta resolu\u00e7\u00e3o",
     "Ecr\u00e3 &inteiro\tF4",
     "64K &cores (mais r\u00e1pido)",
     "&Tamanho predefinido",
     "Alterar &resolu\u00e7\u00e3o",
     "Modos dispon\u00edveis",
     "&Som",
     "&M\u00fasica digital\tF2",
     "&Efeitos sonoros\tF3",
     "&Qualidade da m\u00fasica",
     "&Baixa (mais r\u00e1pida)",
     "&M\u00e9dia",
     "&Alta (mais lenta)",
     "A&juda",
     "&T\u00f3picos de ajuda\tF1",
     "&Acerca de"},
    {17 | 1 << 10,
     "\u30b2\u30fc\u30e0(&G)",
     "\u65b0\u3057\u3044\u30b2\u30fc\u30e0(&N)",
     "\u8a00\u8a9e(&L)",
     "\u4f7f\u7528\u53ef\u80fd\u306a\u8a00\u8a9e",
     "\u30b2\u30fc\u30e0\u306b\u623b\u308b(&B)",
     "\u7d42\u4e86(&X)\tAlt+F4",
     "\u8868\u793a(&D)",
     "\u4f4e\u89e3\u50cf\u5ea6\u30d5\u30eb\u30b9\u30af\u30ea\u30fc\u30f3(&L)",
     "\u9ad8\u89e3\u50cf\u5ea6\u30d5\u30eb\u30b9\u30af\u30ea\u30fc\u30f3(&H)",
     "\u30d5\u30eb\u30b9\u30af\u30ea\u30fc\u30f3(&F)\tF4",
     "65536\u8272\uff08\u9ad8\u901f\uff09(&C)",
     "\u6a19\u6e96\u30b5\u30a4\u30ba(&S)",
     "\u89e3\u50cf\u5ea6\u306e\u5909\u66f4(&R)",
     "\u4f7f\u7528\u53ef\u80fd\u306a\u30e2\u30fc\u30c9",
     "\u30b5\u30a6\u30f3\u30c9(&S)",
     "\u30c7\u30b8\u30bf\u30eb\u97f3\u697d(&M)\tF2",
     "\u52b9\u679c\u97f3(&E)\tF3",
     "\u97f3\u697d\u306e\u54c1\u8cea(&Q)",
     "\u4f4e\uff08\u9ad8\u901f\uff09(&L)",
     "\u4e2d(&M)",
     "\u9ad8\uff08\u4f4e\u901f\uff09(&H)",
     "\u30d8\u30eb\u30d7(&H)",
     "\u30d8\u30eb\u30d7 \u30c8\u30d4\u30c3\u30af(&H)\tF1",
     "\u30d0\u30fc\u30b8\u30e7\u30f3\u60c5\u5831(&A)"},
};

OS_MENU_ITEM item(const char *text, uint32_t id) {
    return {text, id, 0, {}};
}

OS_MENU_ITEM separator() {
    return {"", 0, OS_MENU_SEPARATOR, {}};
}

OS_MENU_ITEM popup(const char *text, std::vector<OS_MENU_ITEM> items) {
    return {text, 0, OS_MENU_POPUP, std::move(items)};
}

// The one tree, in any language.
std::vector<OS_MENU_ITEM> menu_bar(const MenuTexts &t) {
    return {
        popup(t.game, {item(t.new_game, APP_NEW_GAME), separator(),
                       popup(t.language_menu, {item(t.languages, XV_DSP_FILLED_LIST)}),
                       item(t.back, APP_BACK_TO_GAME), separator(), item(t.exit, APP_EXIT)}),
        popup(t.display,
              {item(t.low_res, XV_DSP_LOW_RES_FULLSCREEN),
               item(t.high_res, XV_DSP_HIGH_RES_FULLSCREEN), separator(),
               item(t.fullscreen, XV_DSP_FULLSCREEN), item(t.colours, XV_DSP_64K_COLOURS),
               item(t.default_size, XV_DSP_DEFAULT_SIZE), separator(),
               popup(t.resolution, {item(t.modes, XV_DSP_FILLED_LIST)})}),
        popup(t.sound,
              {item(t.music, XV_SND_CMD_MUSIC), item(t.effects, XV_SND_CMD_EFFECTS), separator(),
               popup(t.quality, {item(t.low, XV_SND_CMD_QUALITY_LOW),
                                 item(t.medium, XV_SND_CMD_QUALITY_MEDIUM),
                                 item(t.high, XV_SND_CMD_QUALITY_HIGH)})}),
        popup(t.help, {item(t.topics, APP_HELP_TOPICS), separator(), item(t.about, APP_ABOUT)}),
    };
}

OS_RESOURCES make_resources() {
    OS_RESOURCES resources;
    resources.strings = {{101, "RESOURCE.DAT"}};
    for (const MenuTexts &texts : kTexts) {
        resources.menus.push_back({"\"Motokit\"", texts.language, menu_bar(texts)});
    }
    return resources;
}

} // namespace

void resources_install() {
    static const OS_RESOURCES resources = make_resources();
    os_resources_set(&resources);
}
