"""Colours shared by every picture, so the set reads as one drawing."""

# Plain grounds that the game itself paints: the clip widgets key out their
# clip's background and fill in these colours, so the room behind them must
# be the same colours for the boxes to vanish.
WALL = (210, 238, 154)        # examiner and desk clips' widget colour; the wall
DESK = (193, 180, 89)         # copybook clip's widget colour; the student's desk
LABEL = (218, 206, 97)        # the game's sheet labels lie on the desk
ICON_KEY = (192, 192, 192)    # lower-left key colour of the sound-switch bitmaps
RING = (241, 162, 57)         # the sound switch's orange ring

INK = (52, 40, 34)
WALL_SHADE = (184, 214, 128)
WALL_DEEP = (160, 192, 110)
SKIRTING = (120, 140, 82)
DESK_DARK = (160, 146, 66)
DESK_EDGE = (138, 112, 54)
DESK_LIGHT = (212, 200, 116)
WOOD = (150, 98, 56)
WOOD_DARK = (112, 70, 40)
WOOD_LIGHT = (182, 128, 78)
BOARD = (44, 82, 62)
BOARD_DARK = (32, 62, 46)
CHALK = (232, 238, 222)
PAPER = (250, 248, 236)
PAPER_SHADE = (222, 218, 198)
RULE_BLUE = (150, 176, 214)
MARGIN_RED = (214, 110, 104)
PEN_BLUE = (40, 64, 150)
SKIN = (240, 196, 160)
SKIN_SHADE = (214, 160, 126)
HAIR_GREY = (170, 168, 160)
SUIT = (70, 78, 102)
SUIT_DARK = (50, 56, 76)
SHIRT = (246, 246, 240)
TIE = (178, 46, 40)
TROUSERS = (62, 64, 72)
SHOE = (40, 30, 26)
LAMP_GREEN = (46, 120, 76)
BRASS = (196, 160, 64)
GLOW = (255, 244, 170)
NEWS = (226, 224, 212)
NEWS_SHADE = (196, 194, 182)
