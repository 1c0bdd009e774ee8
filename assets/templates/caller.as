// Runs the generated functions once the player script is defined: the stage, the parts
// to show and the auto-hide first, then the playlist, which starts the player.
initPlayer();
initPlayList();
