// Menus on the headless backend (filled in below).
