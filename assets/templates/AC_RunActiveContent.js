// Page script of the lumacast player pages: AC_FL_RunContent writes the markup that embeds
// a Flash movie, an <object> element for players that take one and an <embed> element
// inside it for the others (a Flash player script on the page, such as Ruffle's, takes
// either over).
//
//   AC_FL_RunContent('width', '320', 'height', '240', 'src', 'clip', 'movie', 'clip', ...);
//
// Arguments come in pairs of a name and a value. 'src' and 'movie' name the movie; ".swf"
// is added when the name carries no extension. Every value is escaped before it is written.

(function (global) {
  "use strict";

  var CLASSID = "clsid:d27cdb6e-ae6d-11cf-96b8-444553540000";
  var MIME = "application/x-shockwave-flash";

  // Names that are attributes of both elements; every other pair is a param of the object
  // and an attribute of the embed element.
  var SHARED = ["width", "height", "align", "vspace", "hspace", "class", "title", "accesskey",
                "tabindex", "style"];

  function escapeHtml(value) {
    return String(value)
      .replace(/&/g, "&amp;")
      .replace(/"/g, "&quot;")
      .replace(/'/g, "&#39;")
      .replace(/</g, "&lt;")
      .replace(/>/g, "&gt;");
  }

  // A name is written only when it is a plain attribute name.
  function isName(name) {
    return /^[A-Za-z][A-Za-z0-9_.:-]*$/.test(name);
  }

  function attribute(name, value) {
    return " " + name + "=\"" + escapeHtml(value) + "\"";
  }

  function movieFile(name) {
    var path = String(name);
    var bare = path.split(/[?#]/)[0];
    var last = bare.substring(bare.lastIndexOf("/") + 1);
    if (last.indexOf(".") >= 0) return path;
    return bare + ".swf" + path.substring(bare.length);
  }

  // The markup for the argument pairs of one call.
  function buildMarkup(args) {
    var objectAttrs = attribute("classid", CLASSID);
    var params = "";
    var embedAttrs = "";
    var hasType = false;
    for (var i = 0; i + 1 < args.length; i += 2) {
      var name = String(args[i]);
      var key = name.toLowerCase();
      var value = args[i + 1];
      if (!isName(name) || key.indexOf("on") === 0) continue;  // no event handlers
      if (key === "src" || key === "movie") {
        var file = movieFile(value);
        if (key === "src") embedAttrs += attribute("src", file);
        else params += "<param" + attribute("name", "movie") + attribute("value", file) + " />";
      } else if (key === "classid") {
        continue;
      } else if (key === "codebase" || key === "id") {
        objectAttrs += attribute(key, value);
      } else if (key === "pluginspage" || key === "name") {
        embedAttrs += attribute(key, value);
      } else if (key === "type") {
        hasType = true;
        embedAttrs += attribute("type", value);
      } else if (SHARED.indexOf(key) >= 0) {
        objectAttrs += attribute(key, value);
        embedAttrs += attribute(key, value);
      } else {
        params += "<param" + attribute("name", name) + attribute("value", value) + " />";
        embedAttrs += attribute(name, value);
      }
    }
    if (!hasType) embedAttrs += attribute("type", MIME);
    return "<object" + objectAttrs + ">" + params + "<embed" + embedAttrs + " /></object>";
  }

  global.AC_FL_RunContent = function () {
    var markup = buildMarkup(Array.prototype.slice.call(arguments));
    var doc = global.document;
    if (doc.readyState === "loading") {
      doc.write(markup);
    } else {
      // Called after the page was parsed: append where the calling script stands.
      var holder = doc.createElement("div");
      holder.innerHTML = markup;
      var script = doc.currentScript;
      var parent = script && script.parentNode ? script.parentNode : doc.body;
      parent.insertBefore(holder, script && script.parentNode ? script.nextSibling : null);
    }
  };
  global.AC_FL_RunContent.buildMarkup = buildMarkup;
})(this);
