s = "tab\there \"q\" \\ \u00e9 \x41 \ud83d\ude00 line\
continued";
t = 'single \'q\'' + newline + 0x1F + .5e1 + 1.5E-3;
getURL("http://example.com/?a=1&b=\"2\"", "_blank");
gotoAndStop("end"); gotoAndPlay(2); gotoAndStop(frame + 1);
