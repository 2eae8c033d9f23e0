#!/usr/bin/env bash
# Makes examples/garden.skep, a small garden-planning document, with fernweave commands.
#   examples/make-garden.sh [path/to/fernweave] [output.skep]
# The clock is pinned so that the dates and note ids come out the same on every run.
set -euo pipefail
fw=${1:-build/release/fernweave}
out=${2:-examples/garden.skep}
export FERNWEAVE_NOW=2009-05-04T10:17:33

rm -f "$out"
"$fw" new "$out"

# User attributes of several types.
"$fw" attr "$out" Sown --type date
"$fw" attr "$out" Spacing --type number --default 30
"$fw" attr "$out" Perennial --type boolean
"$fw" attr "$out" Companions --type set
"$fw" attr "$out" SeedSource --type url
"$fw" attr "$out" Bloom --type color --default "muted green"
"$fw" attr "$out" Row --type number --sequential
add() { "$fw" add "$out" "$@" >/dev/null; }

# Prototypes.
add /Prototypes/Vegetable --set IsPrototype=true --set Color=green --set Spacing=45
add /Prototypes/Herb --set IsPrototype=true --set Color=muted\ purple --set Perennial=true \
  --set Spacing=20

# Beds and what grows in them.
add /Beds/North/Tomato --prototype Vegetable --text "Sungold, staked.
Pinch out the side shoots every week." --set Sown=2009-03-15 --set "Companions=Basil;Marigold"
add /Beds/North/Pepper --prototype Vegetable --set Sown=2009-03-20
add /Beds/North/Marigold --text "Keeps whitefly off the tomatoes." --set Bloom=orange
add /Beds/South/Bean --prototype Vegetable --text "Climbing beans on the fence." \
  --set Spacing=15 --set Sown=2009-05-01
add /Beds/South/Squash --prototype Vegetable --set Spacing=90
add /Beds/South/Sweetcorn --prototype Vegetable --text "Three sisters: corn, beans, squash." \
  --set "Companions=Bean;Squash"
add /Beds/South/Lettuce --prototype Vegetable --set Spacing=25
add "/Beds/Herb spiral/Basil" --prototype Herb --text "Genovese. Likes the warm top of the spiral." \
  --set Perennial=false
add "/Beds/Herb spiral/Thyme" --prototype Herb
add "/Beds/Herb spiral/Rosemary" --prototype Herb --set Spacing=60
add "/Beds/Herb spiral/Chives" --prototype Herb --set Bloom=magenta

# The season and the jobs.
add /Calendar/Spring --text "Sow under glass in March, plant out after the last frost."
add /Calendar/Summer
add /Calendar/Autumn
add /Tasks/Build\ bean\ frame --set Checked=true
add /Tasks/Mulch\ the\ beds --set Checked=false
add /Tasks/Order\ seeds --set SeedSource=https://example.com/seeds
add "/Ripe soon" --kind agent --set 'AgentQuery=$Prototype=="Vegetable"'
add "/Herbs to cut" --kind agent --set 'AgentQuery=$Prototype=="Herb" & $Perennial' \
  --set 'AgentAction=$Checked=true' --set Sort=Name
# A rule, and a container whose new notes start unchecked and orange.
"$fw" set "$out" "/Tasks/Mulch the beds" 'Rule=if($Checked){$Color="green"}else{$Color="red"}'
"$fw" set "$out" /Tasks 'OnAdd=$Checked=false; $Color="orange"'
add /Tasks/Stake\ the\ tomatoes
add /Notes/Soil --text "Clay loam, pH 6.8. Add compost every autumn."
add /Notes/Watering --text "Water in the morning; the squash needs the most."

# Aliases: the plants again where the calendar needs them.
"$fw" alias "$out" /Beds/North/Tomato /Calendar/Spring >/dev/null
"$fw" alias "$out" /Beds/North/Pepper /Calendar/Spring >/dev/null
"$fw" alias "$out" /Beds/South/Squash /Calendar/Summer >/dev/null
"$fw" alias "$out" "/Beds/Herb spiral/Basil" /Calendar/Summer >/dev/null

# Typed links, links anchored in the text, and a link to the web.
"$fw" link "$out" /Beds/North/Marigold /Beds/North/Tomato --type protects
"$fw" link "$out" "/Beds/Herb spiral/Basil" /Beds/North/Tomato --type companion
"$fw" link "$out" /Beds/South/Sweetcorn /Beds/South/Bean --type companion --anchor beans
"$fw" link "$out" /Beds/South/Sweetcorn /Beds/South/Squash --anchor squash
"$fw" link "$out" /Notes/Watering /Beds/South/Squash --anchor "the squash"
"$fw" link "$out" /Tasks/Order\ seeds --web https://example.com/seeds

# One macro and one stamp.
"$fw" macro "$out" plant 'Plant $1 in the $2 bed'
"$fw" stamp "$out" "Mark perennial" '$Perennial=true'
"$fw" set "$out" /Notes Name=Notes
"$fw" info "$out"
