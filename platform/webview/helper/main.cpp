// lumacast-webview: the browser behind the program's preview area. It runs WebKitGTK in a
// GtkPlug embedded (XEmbed) into the X window whose id it is given, and takes its orders as
// lines on stdin:
//   navigate <url>   load a page
//   movie <url>      the preview page is loaded: play another movie in it (no page reload)
//   quit
// and answers on stdout:
//   ready            the view exists and is embedded
//   loaded <url>     a page finished loading
//   playing          the preview page's player has its movie and runs
//   error <message>  the preview page had a script error
//   failed <reason>  a page could not be loaded
// Only pages below the origin given as the second argument are loaded; everything else is
// refused. Media plays without a user gesture.
//
//   lumacast-webview <x-window-id> <origin, e.g. http://127.0.0.1:4711/>
#include <gtk/gtk.h>
#include <gtk/gtkx.h>
#include <webkit2/webkit2.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::string g_origin;
WebKitWebView* g_view = nullptr;

void Say(const std::string& line) {
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

bool Allowed(const char* uri) {
    return uri && std::strncmp(uri, g_origin.c_str(), g_origin.size()) == 0;
}

// A string as a JavaScript string literal (the URL is ours, but it is quoted all the same).
std::string JsString(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') out += '\\';
        if (static_cast<unsigned char>(c) < 0x20) continue;
        out += c;
    }
    return out + "\"";
}

void Command(const std::string& line) {
    auto space = line.find(' ');
    std::string verb = line.substr(0, space);
    std::string arg = space == std::string::npos ? std::string() : line.substr(space + 1);
    if (verb == "quit") {
        gtk_main_quit();
    } else if (verb == "navigate") {
        if (!Allowed(arg.c_str())) {
            Say("failed refused " + arg);
            return;
        }
        webkit_web_view_load_uri(g_view, arg.c_str());
    } else if (verb == "movie") {
        if (!Allowed(arg.c_str())) {
            Say("failed refused " + arg);
            return;
        }
        std::string script = "lumacastShow(" + JsString(arg) + ")";
        webkit_web_view_evaluate_javascript(g_view, script.c_str(), -1, nullptr, nullptr, nullptr, nullptr, nullptr);
    }
}

gboolean OnInput(GIOChannel* channel, GIOCondition condition, gpointer) {
    if (condition & G_IO_IN) {
        gchar* text = nullptr;
        gsize length = 0;
        GIOStatus status = g_io_channel_read_line(channel, &text, &length, nullptr, nullptr);
        if (status == G_IO_STATUS_NORMAL && text) {
            std::string line(text);
            g_free(text);
            while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
            Command(line);
            return TRUE;
        }
        g_free(text);
        if (status == G_IO_STATUS_AGAIN) return TRUE;
    }
    // The program is gone (end of input): so is its preview.
    gtk_main_quit();
    return FALSE;
}

gboolean OnDecide(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type, gpointer) {
    if (type == WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION || type == WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION) {
        WebKitNavigationAction* action =
            webkit_navigation_policy_decision_get_navigation_action(WEBKIT_NAVIGATION_POLICY_DECISION(decision));
        WebKitURIRequest* request = webkit_navigation_action_get_request(action);
        if (type == WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION || !Allowed(webkit_uri_request_get_uri(request))) {
            webkit_policy_decision_ignore(decision);
            return TRUE;
        }
    }
    return FALSE;
}

void OnLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer) {
    if (event == WEBKIT_LOAD_FINISHED) Say(std::string("loaded ") + webkit_web_view_get_uri(view));
}

gboolean OnLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar* uri, GError* error, gpointer) {
    Say(std::string("failed ") + (uri ? uri : "") + " " + (error ? error->message : ""));
    return FALSE;
}

void OnMessage(WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer) {
    JSCValue* value = webkit_javascript_result_get_js_value(result);
    gchar* text = jsc_value_to_string(value);
    // The page says when its player runs, and reports its script errors.
    if (text && (std::strcmp(text, "playing") == 0 || std::strncmp(text, "error ", 6) == 0)) Say(text);
    g_free(text);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <x-window-id> <origin>\n", argv[0]);
        return 2;
    }
    // The preview needs no GPU: software painting works on every X server, Xvfb included.
    setenv("WEBKIT_DISABLE_COMPOSITING_MODE", "1", 0);
    setenv("GDK_BACKEND", "x11", 1);
    gtk_init(&argc, &argv);
    unsigned long socket = std::strtoul(argv[1], nullptr, 0);
    g_origin = argv[2];

    GtkWidget* plug = gtk_plug_new(static_cast<Window>(socket));
    WebKitUserContentManager* content = webkit_user_content_manager_new();
    g_signal_connect(content, "script-message-received::lumacast", G_CALLBACK(OnMessage), nullptr);
    webkit_user_content_manager_register_script_message_handler(content, "lumacast");
    WebKitWebsitePolicies* policies = webkit_website_policies_new_with_policies("autoplay", WEBKIT_AUTOPLAY_ALLOW, nullptr);
    g_view = WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "user-content-manager", content, "website-policies",
                                          policies, nullptr));
    // The player's texts need a valid language tag; a "C" locale gives none.
    const gchar* const languages[] = {"en-US", nullptr};
    webkit_web_context_set_preferred_languages(webkit_web_view_get_context(g_view), languages);
    WebKitSettings* settings = webkit_web_view_get_settings(g_view);
    webkit_settings_set_hardware_acceleration_policy(settings, WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
    webkit_settings_set_media_playback_requires_user_gesture(settings, FALSE);
    webkit_settings_set_enable_webaudio(settings, TRUE);
    webkit_settings_set_enable_javascript(settings, TRUE);
    webkit_settings_set_enable_developer_extras(settings, FALSE);
    webkit_settings_set_enable_page_cache(settings, FALSE);
    GdkRGBA black = {0, 0, 0, 1};
    webkit_web_view_set_background_color(g_view, &black);
    g_signal_connect(g_view, "decide-policy", G_CALLBACK(OnDecide), nullptr);
    g_signal_connect(g_view, "load-changed", G_CALLBACK(OnLoadChanged), nullptr);
    g_signal_connect(g_view, "load-failed", G_CALLBACK(OnLoadFailed), nullptr);
    // The embedder closing the socket ends the helper.
    g_signal_connect(plug, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
    gtk_container_add(GTK_CONTAINER(plug), GTK_WIDGET(g_view));
    gtk_widget_show_all(plug);

    GIOChannel* input = g_io_channel_unix_new(0);
    g_io_add_watch(input, GIOCondition(G_IO_IN | G_IO_HUP | G_IO_ERR), OnInput, nullptr);
    Say("ready");
    gtk_main();
    return 0;
}
