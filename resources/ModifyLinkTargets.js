// The browser shows one page at a time: links that would open a new window
// open in the page itself instead.
function Quorbel_ModifyLinkTargets() {
    document.querySelectorAll('a[target="_blank"], a[target="_new"]').forEach(function (a) { a.removeAttribute('target'); });
}
