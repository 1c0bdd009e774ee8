// The lumacast player. The player maker appends two generated functions to this text,
// initPlayList() and initPlayer(), and then the caller script, which runs them; they hand
// the build's options to the functions below.
//
// Kind 1 (embedded): the video lies on the movie's own timeline, from the frame this
// script runs in to the last frame, with its sound streamed alongside.
// Kind 2 (progressive): the files of playTeam are played through a NetStream into the
// skin's Video object "video"; "movie_mc" catches clicks on the picture and "slider_mc"
// holds the playlist.
//
// The skin ("play_layer") holds "video" and the control bar "bar" with the parts "bg",
// "play_btn", "pause_btn", "stop_btn", "prev_btn", "next_btn", "time", "progress"
// ("track", "loaded", "played", "knob"), "mute_btn" ("cross"), "volume" ("track",
// "level"), "playlist_btn" and "fullscreen_btn". Any of them may be missing.

playTeam = [];
playerKind = 1;
stageWidth = 320;
stageHeight = 240;
showControls = true;
showPreNext = true;
showMute = true;
showVolume = true;
showTime = true;
showFullscreen = true;
showProgress = true;
showPlaylistBtn = true;
showPlayList = true;
mouseAutoHide = false;
skinAutoHide = false;
sliderAutoHide = false;
autoHideDelay = 3000;
framerate = 12;
btn_Interval = 0;
maxPlayTime = 0;
margins = 0;
BufferTime = 5;
autoplay = false;

isPlaying = false;
isEnded = false;
isMuted = false;
volumeLevel = 100;
startFrame = 1;
currentEntry = 0;
streamDuration = 0;
listShown = false;
lastMouseMove = 0;
controlsHidden = false;
pointerHidden = false;
shownAdverts = [];

// ---- What the generated functions call ----

function initPlayerStage(kind, width, height) {
    playerKind = kind;
    stageWidth = width;
    stageHeight = height;
    // A progressive movie stays in this frame, also while its playlist file loads.
    if (kind == 2) stop();
}

function initPlayerComponent(hideAll, preNext, mute, volume, time, fullscreen, progress,
                             playlistBtn, playList) {
    showControls = !hideAll;
    showPreNext = preNext;
    showMute = mute;
    showVolume = volume;
    showTime = time;
    showFullscreen = fullscreen;
    showProgress = progress;
    showPlaylistBtn = playlistBtn;
    showPlayList = playList;
}

function initAutoHide(mouse, skin, slider, delay) {
    mouseAutoHide = mouse;
    skinAutoHide = skin;
    sliderAutoHide = slider;
    autoHideDelay = delay;
}

// One playlist entry: [title, video, thumbnail, link, target, adverts].
function add_play(title, video, thumbnail, link, target) {
    playTeam.push([title, video, thumbnail, link, target, []]);
}

// An advert of entry n (from 1): a picture ("img") or a text ("txt") shown from `start` to
// `end` ("HH:MM:SS:mmm"; an end of zero lasts to the end of the video), linked to `link`.
function add_advert(n, start, end, type, content, link, target, option, a, b, c,
                    x, y, width, height, fontSize, fontFile, color) {
    var entry = playTeam[n - 1];
    if (entry == undefined) return;
    entry[5].push({from: clockSeconds(start), to: clockSeconds(end), type: type,
                   content: content, link: link, target: target, x: x, y: y,
                   width: width, height: height, size: fontSize, color: color});
}

// Reads the playlist from an XML file beside the player:
// <playlist><item title="" video="" thumbnail="" link="" target=""/>...</playlist>
function loadxml(path) {
    var doc = new XML();
    doc.ignoreWhite = true;
    doc.onLoad = function (ok) {
        if (ok) {
            var items = this.firstChild == null ? [] : this.firstChild.childNodes;
            for (var i = 0; i < items.length; i++) {
                var a = items[i].attributes;
                if (a.video != undefined) add_play(orEmpty(a.title), a.video, orEmpty(a.thumbnail),
                                                   orEmpty(a.link), orEmpty(a.target));
            }
        }
        if (playTeam.length > 0) {
            VideoUrl = playTeam[0][1];
            VideoClickurl = playTeam[0][3];
            VideoClicktarget = playTeam[0][4];
        }
        init();
    };
    doc.load(path);
}

// ---- Start ----

function init() {
    bar = play_layer.bar;
    if (playerKind == 2) {
        stop();
        video = play_layer.video;
    } else {
        startFrame = _currentframe;
        play_layer.video._visible = false;
        loading._visible = false;
        if (autoplay) {
            isPlaying = true;
        } else {
            stop();
        }
    }
    setUpBar();
    if (playerKind == 2) {
        setUpStream();
    } else if (!showControls) {
        // Without controls a click on the picture plays and pauses.
        fillBox(createEmptyMovieClip("click_mc", 29000), stageWidth, stageHeight, 0x000000, 0);
        click_mc.onRelease = togglePlay;
        click_mc.useHandCursor = false;
    }
    lastMouseMove = getTimer();
    var watcher = new Object();
    watcher.onMouseMove = function () {
        lastMouseMove = getTimer();
        if (controlsHidden || pointerHidden) revealControls();
    };
    Mouse.addListener(watcher);
    createEmptyMovieClip("ticker_mc", 30000);
    ticker_mc.onEnterFrame = tick;
    showPlayState();
    if (playerKind == 2 && autoplay && playTeam.length > 0) playEntry(0);
}

function setUpBar() {
    if (bar == undefined) return;
    if (!showControls) {
        bar._visible = false;
        return;
    }
    barHeight = bar.bg._height;
    bar._x = 0;
    bar._y = playerKind == 2 ? stageHeight - barHeight : stageHeight;
    bar.bg._x = 0;
    bar.bg._width = stageWidth;
    bar.bg.onPress = function () {};
    bar.bg.useHandCursor = false;
    var textColor = play_layer.skinTextColor == undefined ? 0xffffff : play_layer.skinTextColor;

    // Buttons and time from the left, sound and view buttons from the right, the progress
    // strip over the whole width along the top; the time gives way when the sides meet.
    var left = place(bar.play_btn, 0, true);
    place(bar.pause_btn, 0, true);
    left = place(bar.stop_btn, left, true);
    var list = playerKind == 2;
    left = place(bar.prev_btn, left, list && showPreNext);
    left = place(bar.next_btn, left, list && showPreNext);
    var right = placeRight(bar.fullscreen_btn, stageWidth, showFullscreen);
    right = placeRight(bar.playlist_btn, right, list && showPlaylistBtn && showPlayList);
    right = placeRight(bar.volume, right - 4, showVolume);
    right = placeRight(bar.mute_btn, right, showMute);
    if (bar.time != undefined) {
        var slot = barHeight - bar.time._y;
        var size = Math.max(9, Math.round(slot * 0.4));
        var width = Math.round(size * 6.5);
        bar.time.createTextField("label", 1, 0, Math.round((slot - size * 1.45) / 2), width, size * 1.5);
        bar.time.label.setNewTextFormat(new TextFormat("_sans", size, textColor));
        bar.time.label.selectable = false;
        place(bar.time, left + 4, showTime && left + 4 + width <= right);
    }
    if (bar.progress != undefined) {
        bar.progress._visible = showProgress;
        bar.progress._x = 0;
        bar.progress.track._width = stageWidth;
        bar.progress.trackLength = stageWidth;
    }

    bar.play_btn.onRelease = function () { resume(); };
    bar.pause_btn.onRelease = function () { pause(); };
    bar.stop_btn.onRelease = function () { stopVideo(); };
    bar.prev_btn.onRelease = function () { stepEntry(-1); };
    bar.next_btn.onRelease = function () { stepEntry(1); };
    bar.mute_btn.onRelease = function () { setMuted(!isMuted); };
    bar.fullscreen_btn.onRelease = function () {
        Stage.displayState = Stage.displayState == "fullScreen" ? "normal" : "fullScreen";
    };
    bar.playlist_btn.onRelease = function () { showList(!listShown); };
    bar.progress.onPress = function () {
        seekTo(Math.min(Math.max(this._xmouse / this.trackLength, 0), 1));
    };
    bar.volume.onPress = function () {
        setVolume(Math.round(100 * Math.min(Math.max(this._xmouse / this.track._width, 0), 1)));
    };
    setVolume(volumeLevel);
    setMuted(isMuted);
}

// Places a part at x when shown and returns where the next part starts (btn_Interval
// pixels apart).
function place(part, x, shown) {
    if (part == undefined) return x;
    part._visible = shown;
    if (!shown) return x;
    part._x = x;
    return x + part._width + btn_Interval;
}

// Places a part so that it ends at x when shown and returns where the part before it ends.
function placeRight(part, x, shown) {
    if (part == undefined) return x;
    part._visible = shown;
    if (!shown) return x;
    part._x = x - part._width;
    return part._x - btn_Interval;
}

// ---- Playing ----

function resume() {
    if (maxPlayTime > 0 && elapsed() >= maxPlayTime) return;
    if (playerKind == 2) {
        if (ns == undefined || playTeam.length == 0) return;
        if (isEnded || streamStarted != true) {
            playEntry(currentEntry);
            return;
        }
        ns.pause(false);
    } else {
        if (isEnded) {
            gotoAndPlay(startFrame);
        } else {
            play();
        }
    }
    isPlaying = true;
    isEnded = false;
    showPlayState();
}

function pause() {
    if (playerKind == 2) {
        if (ns != undefined) ns.pause(true);
    } else {
        stop();
    }
    isPlaying = false;
    showPlayState();
}

function togglePlay() {
    if (isPlaying) {
        pause();
    } else {
        resume();
    }
}

function stopVideo() {
    pause();
    if (playerKind == 2) {
        if (ns != undefined) ns.seek(0);
    } else {
        gotoAndStop(startFrame);
    }
}

// Moves to a fraction (0 to 1) of the video; playing goes on when it was playing.
function seekTo(fraction) {
    if (playerKind == 2) {
        if (ns == undefined || streamDuration <= 0) return;
        ns.seek(fraction * streamDuration);
    } else {
        var target = startFrame + Math.round(fraction * (_totalframes - startFrame));
        if (isPlaying) {
            gotoAndPlay(target);
        } else {
            gotoAndStop(target);
        }
    }
    isEnded = false;
}

function elapsed() {
    if (playerKind == 2) return ns == undefined ? 0 : ns.time;
    return (_currentframe - startFrame) / framerate;
}

function totalTime() {
    if (playerKind == 2) return streamDuration;
    return (_totalframes - startFrame) / framerate;
}

function setMuted(muted) {
    isMuted = muted;
    bar.mute_btn.cross._visible = muted;
    applyVolume();
}

function setVolume(level) {
    volumeLevel = level;
    if (bar.volume.level != undefined) bar.volume.level._xscale = level;
    applyVolume();
}

function applyVolume() {
    if (soundControl == undefined) soundControl = new Sound();
    soundControl.setVolume(isMuted ? 0 : volumeLevel);
}

function showPlayState() {
    bar.play_btn._visible = !isPlaying && bar.play_btn != undefined;
    bar.pause_btn._visible = isPlaying;
}

// Runs every frame: time, progress, the end of the video, the preview limit, auto-hide.
function tick() {
    if (playerKind != 2) {
        if (isPlaying && _currentframe >= _totalframes) {
            stop();
            isPlaying = false;
            isEnded = true;
            showPlayState();
        }
        isPlaying = isPlaying && !isEnded;
    }
    var now = elapsed();
    if (maxPlayTime > 0 && isPlaying && now >= maxPlayTime) {
        pause();
        isEnded = true;
    }
    var total = totalTime();
    if (bar.time.label != undefined) {
        // The skin's own frame script may set its text colour after this script ran.
        var color = play_layer.skinTextColor;
        if (color != undefined && color != timeColor) {
            timeColor = color;
            bar.time.label.setNewTextFormat(new TextFormat("_sans", null, color));
        }
        bar.time.label.text = clock(now) + " / " + clock(total);
    }
    if (bar.progress != undefined) {
        var length = bar.progress.trackLength;
        var played = total > 0 ? Math.min(now / total, 1) : 0;
        bar.progress.played._width = Math.max(played * length, 0.01);
        bar.progress.knob._x = played * length;
        var loaded = 1;
        if (playerKind == 2 && ns != undefined && ns.bytesTotal > 0) {
            loaded = ns.bytesLoaded / ns.bytesTotal;
        }
        bar.progress.loaded._width = Math.max(loaded * length, 0.01);
    }
    fitEffect();
    if (playerKind == 2) showAdverts(now);
    if (isPlaying && getTimer() - lastMouseMove > autoHideDelay) hideControls();
}

// Stretches the effect (drawn for a 320 x 240 stage) over the stage; an embedded movie
// places it anew with the video and with each credit.
function fitEffect() {
    if (effect_mc == undefined || effect_mc.fitted) return;
    effect_mc._xscale = stageWidth / 320 * 100;
    effect_mc._yscale = stageHeight / 240 * 100;
    effect_mc.fitted = true;
}

function hideControls() {
    if (skinAutoHide && showControls && bar != undefined) {
        bar._visible = false;
        controlsHidden = true;
    }
    if (sliderAutoHide && listShown) {
        slider_mc._visible = false;
        controlsHidden = true;
    }
    if (mouseAutoHide && !pointerHidden) {
        Mouse.hide();
        pointerHidden = true;
    }
}

function revealControls() {
    if (showControls && bar != undefined) bar._visible = true;
    if (listShown) slider_mc._visible = true;
    if (pointerHidden) Mouse.show();
    pointerHidden = false;
    controlsHidden = false;
}

// ---- Progressive playback ----

function setUpStream() {
    connection = new NetConnection();
    connection.connect(null);
    ns = new NetStream(connection);
    ns.setBufferTime(BufferTime);
    ns.onStatus = function (info) {
        if (info.code == "NetStream.Play.Stop") {
            if (currentEntry + 1 < playTeam.length) {
                playEntry(currentEntry + 1);
            } else {
                isPlaying = false;
                isEnded = true;
                showPlayState();
            }
        } else if (info.code == "NetStream.Play.StreamNotFound") {
            isPlaying = false;
            isEnded = true;
            showBuffering(false);
            showPlayState();
        } else if (info.code == "NetStream.Buffer.Full") {
            showBuffering(false);
        } else if (info.code == "NetStream.Buffer.Empty") {
            showBuffering(isPlaying);
        }
    };
    ns.onMetaData = function (data) {
        if (data.duration > 0) streamDuration = data.duration;
        if (data.width > 0 && data.height > 0) fitVideo(data.width, data.height);
    };
    if (video != undefined) {
        fitVideo(stageWidth, stageHeight);
        video.attachVideo(ns);
    }
    fillBox(movie_mc, stageWidth, stageHeight, 0x000000, 0);
    movie_mc.onRelease = function () {
        if (VideoClickurl != undefined && VideoClickurl != "") {
            getURL(VideoClickurl, VideoClicktarget == "" ? "_blank" : VideoClicktarget);
        } else if (!showControls) {
            togglePlay();
        }
    };
    movie_mc.useHandCursor = false;
    buildList();
    showBuffering(false);
}

// Fits the picture into the stage, `margins` pixels in from every edge, without cropping,
// centred.
function fitVideo(width, height) {
    var inset = margins > 0 ? margins : 0;
    var scale = Math.min((stageWidth - 2 * inset) / width, (stageHeight - 2 * inset) / height);
    video._width = Math.max(1, Math.round(width * scale));
    video._height = Math.max(1, Math.round(height * scale));
    video._x = Math.round((stageWidth - video._width) / 2);
    video._y = Math.round((stageHeight - video._height) / 2);
}

function playEntry(index) {
    if (index < 0 || index >= playTeam.length) return;
    currentEntry = index;
    VideoUrl = playTeam[index][1];
    VideoClickurl = playTeam[index][3];
    VideoClicktarget = playTeam[index][4];
    streamDuration = 0;
    streamStarted = true;
    clearAdverts();
    ns.play(VideoUrl);
    isPlaying = true;
    isEnded = false;
    showBuffering(true);
    showPlayState();
    markListEntry();
}

function stepEntry(step) {
    if (playTeam.length == 0) return;
    playEntry((currentEntry + step + playTeam.length) % playTeam.length);
}

function showBuffering(shown) {
    if (loading == undefined) return;
    loading._visible = shown;
    loading._x = Math.round((stageWidth - loading._width) / 2);
    loading._y = Math.round((stageHeight - loading._height) / 2);
}

// ---- The playlist panel ----

listRowHeight = 44;
listHeight = 0;

// A panel over the right of the picture (above the bar), one row an entry: thumbnail and
// title; a click plays the entry. Rows that do not fit scroll with the mouse wheel and
// follow the entry playing.
function buildList() {
    if (slider_mc == undefined) return;
    slider_mc.swapDepths(20000);
    var width = Math.min(150, Math.round(stageWidth / 2));
    var room = stageHeight - 8 - (showControls && bar != undefined ? barHeight : 0);
    listHeight = Math.max(0, Math.min(playTeam.length * listRowHeight, room));
    slider_mc._x = stageWidth - width - 4;
    slider_mc._y = 4;
    fillBox(slider_mc, width, listHeight, 0x000000, 70);
    var rows = slider_mc.createEmptyMovieClip("rows", 1);
    fillBox(slider_mc.createEmptyMovieClip("window", 2), width, listHeight, 0x000000, 100);
    rows.setMask(slider_mc.window);
    for (var i = 0; i < playTeam.length; i++) {
        var row = rows.createEmptyMovieClip("row" + i, i + 1);
        row._y = i * listRowHeight;
        row.index = i;
        fillBox(row, width, listRowHeight, 0xffffff, 0);
        var picture = row.createEmptyMovieClip("picture", 1);
        picture._x = 4;
        picture._y = 4;
        if (playTeam[i][2] != "") loadPicture(picture, playTeam[i][2], 48, 36);
        row.createTextField("title", 2, 56, 4, width - 60, listRowHeight - 8);
        row.title.setNewTextFormat(new TextFormat("_sans", 11, 0xffffff));
        row.title.wordWrap = true;
        row.title.selectable = false;
        row.title.text = playTeam[i][0];
        row.onRelease = function () { playEntry(this.index); };
    }
    var wheel = new Object();
    wheel.onMouseWheel = function (delta) {
        if (listShown && slider_mc.hitTest(_root._xmouse, _root._ymouse, false)) {
            scrollList(slider_mc.rows._y + delta * 10);
        }
    };
    Mouse.addListener(wheel);
    showList(showPlayList && playTeam.length > 1);
}

function scrollList(y) {
    var lowest = Math.min(0, listHeight - playTeam.length * listRowHeight);
    slider_mc.rows._y = Math.round(Math.max(lowest, Math.min(0, y)));
}

// Marks the entry playing and scrolls it into the panel.
function markListEntry() {
    var rows = slider_mc.rows;
    if (rows == undefined) return;
    for (var i = 0; i < playTeam.length; i++) {
        rows["row" + i].title.textColor = i == currentEntry ? 0xffd040 : 0xffffff;
    }
    var top = currentEntry * listRowHeight;
    if (top + rows._y < 0) {
        scrollList(-top);
    } else if (top + listRowHeight + rows._y > listHeight) {
        scrollList(listHeight - top - listRowHeight);
    }
}

function showList(shown) {
    listShown = shown && showPlayList;
    slider_mc._visible = listShown;
}

// Fills a clip with a width x height box of the colour (alpha 0 to 100; 0 still takes clicks).
function fillBox(clip, width, height, color, alpha) {
    clip.beginFill(color, alpha);
    clip.moveTo(0, 0);
    clip.lineTo(width, 0);
    clip.lineTo(width, height);
    clip.lineTo(0, height);
    clip.endFill();
}

// ---- Adverts ----

function showAdverts(now) {
    var entry = playTeam[currentEntry];
    if (entry == undefined) return;
    var adverts = entry[5];
    for (var i = 0; i < adverts.length; i++) {
        var ad = adverts[i];
        var due = now >= ad.from && (ad.to <= 0 || now <= ad.to) && isPlaying;
        if (due && shownAdverts[i] == undefined) {
            shownAdverts[i] = makeAdvert(ad, i);
        } else if (!due && shownAdverts[i] != undefined) {
            shownAdverts[i].removeMovieClip();
            shownAdverts[i] = undefined;
        }
    }
}

function makeAdvert(ad, i) {
    var clip = createEmptyMovieClip("advert" + i, 21000 + i);
    clip._x = ad.x;
    clip._y = ad.y;
    if (ad.type == "txt") {
        clip.createTextField("label", 1, 0, 0, ad.width > 0 ? ad.width : stageWidth - ad.x,
                             ad.height > 0 ? ad.height : ad.size * 2 + 4);
        clip.label.setNewTextFormat(new TextFormat("_sans", ad.size > 0 ? ad.size : 12, ad.color));
        clip.label.selectable = false;
        clip.label.text = ad.content;
    } else if (ad.type == "img") {
        loadPicture(clip.createEmptyMovieClip("picture", 1), ad.content, ad.width, ad.height);
    }
    if (ad.link != undefined && ad.link != "" && ad.link != "http://") {
        clip.onRelease = function () { getURL(ad.link, ad.target == "" ? "_blank" : ad.target); };
    }
    return clip;
}

// Loads a picture into a clip and sizes it once it is in (a size of 0 keeps the picture's own).
function loadPicture(clip, url, width, height) {
    var loader = new MovieClipLoader();
    var sizer = new Object();
    sizer.onLoadInit = function (target) {
        if (width > 0) target._width = width;
        if (height > 0) target._height = height;
    };
    loader.addListener(sizer);
    loader.loadClip(url, clip);
}

function clearAdverts() {
    for (var i = 0; i < shownAdverts.length; i++) shownAdverts[i].removeMovieClip();
    shownAdverts = [];
}

// ---- Texts ----

// "HH:MM:SS:mmm" in seconds.
function clockSeconds(value) {
    var parts = String(value).split(":");
    var seconds = 0;
    for (var i = 0; i < 3 && i < parts.length; i++) seconds = seconds * 60 + Number(parts[i]);
    if (parts.length > 3) seconds += Number(parts[3]) / 1000;
    return isNaN(seconds) ? 0 : seconds;
}

// Seconds as "M:SS" or "H:MM:SS".
function clock(seconds) {
    var s = Math.max(0, Math.floor(seconds));
    var h = Math.floor(s / 3600);
    var m = Math.floor(s % 3600 / 60);
    s = s % 60;
    var text = (s < 10 ? "0" : "") + s;
    if (h > 0) return h + ":" + (m < 10 ? "0" : "") + m + ":" + text;
    return m + ":" + text;
}

function orEmpty(value) {
    return value == undefined ? "" : value;
}
