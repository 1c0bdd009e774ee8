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
// The pages and everything they load come from the address scheme of the helper's own
// (lumacast://preview/...), answered here from the temp/ and ruffle/ folders of the root
// folder given as the second argument: nothing listens on a socket. Only pages below that
// origin are loaded; everything else is refused. Media plays without a user gesture.
//
//   lumacast-webview <x-window-id> <root folder>
#include <gtk/gtk.h>
#include <gtk/gtkx.h>
#include <webkit2/webkit2.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include "platform/webview/previewfiles.h"

namespace {

const std::string g_origin = platform::kPreviewOrigin;
const platform::TPreviewFiles* g_files = nullptr;
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

void Finish(WebKitURISchemeRequest* request, platform::TPreviewFiles::Answer answer) {
    // The body is handed over without a copy: the bytes own the answer's string.
    auto* body = new std::string(std::move(answer.body));
    GBytes* bytes = g_bytes_new_with_free_func(body->data(), body->size(),
                                               [](gpointer data) { delete static_cast<std::string*>(data); }, body);
    GInputStream* stream = g_memory_input_stream_new_from_bytes(bytes);
    WebKitURISchemeResponse* response = webkit_uri_scheme_response_new(stream, gint64(g_bytes_get_size(bytes)));
    webkit_uri_scheme_response_set_status(response, guint(answer.status), platform::TPreviewFiles::Reason(answer.status));
    // A movie is rewritten under the same name with every change: never kept. The type
    // goes into the headers as well, as they replace what the response would say by itself
    // (the player's WebAssembly compiles while it streams only as application/wasm).
    SoupMessageHeaders* headers = soup_message_headers_new(SOUP_MESSAGE_HEADERS_RESPONSE);
    soup_message_headers_append(headers, "Cache-Control", "no-store");
    soup_message_headers_append(headers, "X-Content-Type-Options", "nosniff");
    if (answer.status == 200) soup_message_headers_replace(headers, "Content-Type", answer.contentType.c_str());
    webkit_uri_scheme_response_set_http_headers(response, headers);
    if (answer.status == 200) webkit_uri_scheme_response_set_content_type(response, answer.contentType.c_str());
    webkit_uri_scheme_request_finish_with_response(request, response);
    g_object_unref(response);
    g_object_unref(stream);
    g_bytes_unref(bytes);
}

// Every request of the view's pages under the helper's own scheme, answered at once.
void OnScheme(WebKitURISchemeRequest* request, gpointer) {
    const char* uri = webkit_uri_scheme_request_get_uri(request);
    const char* method = webkit_uri_scheme_request_get_http_method(request);
    Finish(request, g_files->Read(method ? method : "GET", uri ? uri : ""));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <x-window-id> <root folder>\n", argv[0]);
        return 2;
    }
    // The preview needs no GPU: software painting works on every X server, Xvfb included.
    setenv("WEBKIT_DISABLE_COMPOSITING_MODE", "1", 0);
    setenv("GDK_BACKEND", "x11", 1);
    gtk_init(&argc, &argv);
    unsigned long socket = std::strtoul(argv[1], nullptr, 0);
    static const platform::TPreviewFiles files(argv[2]);
    g_files = &files;

    GtkWidget* plug = gtk_plug_new(static_cast<Window>(socket));
    // The scheme is the pages' only source; it is a secure context (the player's
    // WebAssembly and audio need one), and its pages may fetch from it.
    WebKitWebContext* context = webkit_web_context_get_default();
    webkit_web_context_register_uri_scheme(context, platform::kPreviewScheme, OnScheme, nullptr, nullptr);
    WebKitSecurityManager* security = webkit_web_context_get_security_manager(context);
    webkit_security_manager_register_uri_scheme_as_secure(security, platform::kPreviewScheme);
    webkit_security_manager_register_uri_scheme_as_cors_enabled(security, platform::kPreviewScheme);

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
