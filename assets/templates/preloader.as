// The preloader's frame: holds the movie here while it loads, shows the share loaded on
// the clip "loading" (its part "bar" grows from 0 to full width), then hands over to the
// frames that follow.
stop();
loading._x = Math.round((Stage.width - loading._width) / 2);
loading._y = Math.round((Stage.height - loading._height) / 2);
loading.bar._xscale = 0;
loading.onEnterFrame = function () {
    var total = _root.getBytesTotal();
    var done = _root.getBytesLoaded();
    this.bar._xscale = total > 0 ? Math.min(100, 100 * done / total) : 100;
    if (total > 0 && done >= total) {
        delete this.onEnterFrame;
        this._visible = false;
        _root.play();
    }
};
