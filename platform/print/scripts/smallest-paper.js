// The page's answer to the printer's first question: the smallest paper its @page rules ask
// for, as [width, height] in CSS pixels, or null. Paper too small for anything to fit on
// gives the engine no page at all, and then it never answers. Asked in the program's own
// script world; style sheets the page cannot read are not read here either.
(function () {
  var box = document.createElement('div');
  box.style.cssText = 'position:absolute;visibility:hidden;left:0;top:0';
  (document.body || document.documentElement).appendChild(box);
  var pixels = function (text) {
    box.style.width = '';
    box.style.width = text;
    return box.style.width ? box.getBoundingClientRect().width : NaN;
  };
  var smallest = null;
  var take = function (size) {
    var lengths = size.trim().split(/\s+/).map(pixels).filter(function (v) { return !isNaN(v); });
    if (!lengths.length)
      return;
    var paper = [lengths[0], lengths.length > 1 ? lengths[1] : lengths[0]];
    if (!smallest || Math.min(paper[0], paper[1]) < Math.min(smallest[0], smallest[1]))
      smallest = paper;
  };
  var walk = function (rules, depth) {
    if (!rules || depth > 8)
      return;
    for (var i = 0; i < rules.length; ++i) {
      var rule = rules[i];
      try {
        if (rule.type === CSSRule.PAGE_RULE)
          take(rule.style.getPropertyValue('size') || '');
        else if (rule.styleSheet)
          walk(rule.styleSheet.cssRules, depth + 1);
        else if (rule.cssRules)
          walk(rule.cssRules, depth + 1);
      } catch (e) { }
    }
  };
  var sheets = Array.from(document.styleSheets).concat(document.adoptedStyleSheets || []);
  sheets.forEach(function (sheet) { try { walk(sheet.cssRules, 0); } catch (e) { } });
  box.remove();
  return smallest;
})()
