var playTeam = [];
function add_play(title, url, thumb, link, target) { playTeam.push([title, url, thumb, link, target]); }
function initPlayList() {
	add_play("Clip \"one\"","a.flv","a.jpg","http://x/?a=1&b=2","_blank");
	add_advert(1,"00:00:00:000","01:02:05:000","txt","Hello","","", 0,1,1,"",10,-20,100,50,12,"arial.ttf",0xff0010);
	VideoUrl=playTeam[0][1];
	init();
}
function initPlayer() {
	initPlayerStage(1, 320, 240);
	initPlayerComponent(false, true, true, true, true, true, true, true, true);
	initAutoHide(true, true, false, 5000);
	btn_Interval = 0;
	maxPlayTime = 0;
	framerate=25.00;
	autoplay=true;
}
this.movie_mc.onRelease = function() { getURL(VideoClickurl, VideoClicktarget); };
with (_root) { gotoAndStop("end"); }
